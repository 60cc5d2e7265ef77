/* The card-encoder library libQuorvane.so as the program binds it: plain C
 * functions, 16-bit words passed by address (or by value where noted), a
 * 16-bit signed result with 1 meaning success. The program resolves these
 * names with dlopen/dlsym; our encoder simulator (plugins/encoder-sim)
 * implements them, and a vendor library with the same exports drops in.
 * This header is plain C so that either side can include it. */
#ifndef QUORVANE_ENCODER_API_H
#define QUORVANE_ENCODER_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QV_ENCODER_BUILDING)
#define QV_ENCODER_EXPORT __attribute__((visibility("default")))
#else
#define QV_ENCODER_EXPORT
#endif

/* Result codes the program names; every other code counts as a failure. */
enum {
    QV_ENC_OK = 1,
    QV_ENC_NO_CARD = -1,
    QV_ENC_NO_ENCODER = -2,
    QV_ENC_FOREIGN_SYSTEM = -14,
    QV_ENC_FAILED = -15,
    /* ReadOneOpenDoorRecord: the data card has no further record. */
    QV_ENC_NO_MORE_RECORDS = 0
};

/* Words of the card record's fields (the record itself is TCardData). */
enum {
    QV_CARDSN_WORDS = 5,
    QV_RESERVED1_WORDS = 4,
    QV_RESERVED2_WORDS = 5,
    QV_ROOMADDR_WORDS = 7,
    QV_FLOOR_WORDS = 9,
    QV_DISTRICT_WORDS = 5,
    QV_CARDTYPE_WORDS = 9,
    QV_RESERVED3_WORDS = 5,
    QV_CARDTIME_WORDS = 6,
    QV_SYSTEM_CODE_WORDS = 4,
    QV_PARAMETER_WORDS = 9,   /* GetParameter: 18 bytes */
    QV_CLEAR_WORK_WORDS = 10, /* ClearCardData: 20-byte work area */
    QV_DATACARD_WORDS = 12    /* ReadDataCard: 24 bytes */
};

/* Lock-system kinds, the first word of GetParameter's block. */
enum {
    QV_KIND_USB_COLLECTOR = 0,
    QV_KIND_AUTO_MAGNETIC = 2,
    QV_KIND_IC = 3,
    QV_KIND_TM = 5,
    QV_KIND_TEMIC = 7,
    QV_KIND_MIFARE = 9,
    QV_KIND_MANUAL_MAGNETIC = 11
};

/* The writing functions all take the same eleven arguments. */
#define QV_MAKE_CARD_ARGS                                                                          \
    uint16_t *CardSn, uint16_t *Reserved2, uint16_t Building, uint16_t *Floor, uint16_t *District, \
        uint16_t *RoomAddr, uint16_t Override, uint16_t *CardType, uint16_t *Reserved3,            \
        uint16_t *StartTime, uint16_t *EndTime

typedef int16_t (*QvMakeCardFn)(QV_MAKE_CARD_ARGS);

QV_ENCODER_EXPORT int16_t MakeCardOpenPort(int32_t port);
QV_ENCODER_EXPORT int16_t GetParameter(uint16_t* buffer);
QV_ENCODER_EXPORT int16_t ReadSystemPas(uint16_t* code);
QV_ENCODER_EXPORT int16_t SystemInitialization(uint16_t* code);

QV_ENCODER_EXPORT int16_t MakeGuestCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeClientCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeTimeCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeEmergentCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeFloorCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeCleanDistrictCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeBuildingCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeSpecialCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeChiefCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeLostCard(QV_MAKE_CARD_ARGS);
QV_ENCODER_EXPORT int16_t MakeDataCard(QV_MAKE_CARD_ARGS);

QV_ENCODER_EXPORT int16_t ReadCard(uint16_t* CardSn, uint16_t* Reserved2, uint16_t* Building,
                                   uint16_t* Floor, uint16_t* District, uint16_t* RoomAddr,
                                   uint16_t* Override, uint16_t* CardType, uint16_t* Reserved3,
                                   uint16_t* StartTime, uint16_t* EndTime);
typedef int16_t (*QvReadCardFn)(uint16_t*, uint16_t*, uint16_t*, uint16_t*, uint16_t*, uint16_t*,
                                uint16_t*, uint16_t*, uint16_t*, uint16_t*, uint16_t*);

QV_ENCODER_EXPORT int16_t ClearCardData(uint16_t* work);
QV_ENCODER_EXPORT int16_t ReadDataCard(uint16_t* buffer);
/* One door-opening record: building, floor, two words not used by the
 * program, the lock address (word 0 = room number), the opening card's type,
 * the opening time (card time), and the ReadDataCard buffer, whose first four
 * words come back as the opening card's serial words. */
QV_ENCODER_EXPORT int16_t ReadOneOpenDoorRecord(uint16_t* Building, uint16_t* Floor,
                                                uint16_t* Word1, uint16_t* Word2,
                                                uint16_t* RoomAddr, uint16_t* CardType,
                                                uint16_t* Time, uint16_t* buffer);

typedef int16_t (*QvOpenPortFn)(int32_t);
typedef int16_t (*QvWordsFn)(uint16_t*);
typedef int16_t (*QvReadOneOpenDoorRecordFn)(uint16_t*, uint16_t*, uint16_t*, uint16_t*, uint16_t*,
                                             uint16_t*, uint16_t*, uint16_t*);

#ifdef __cplusplus
}
#endif

#endif
