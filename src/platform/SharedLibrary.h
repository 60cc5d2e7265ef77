#pragma once

#include <QString>

namespace qv {

// A shared library loaded by path (dlopen) and unloaded when the object dies.
// Used for the outside libraries the program binds by name: the encoder
// library, the print library and the message library.
class SharedLibrary {
public:
    SharedLibrary() = default;
    explicit SharedLibrary(const QString& path) { load(path); }
    ~SharedLibrary() { unload(); }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool load(const QString& path);
    void unload();
    bool isLoaded() const { return handle_ != nullptr; }
    QString path() const { return path_; }
    QString errorString() const { return error_; }

    // The address of an export, or nullptr (errorString() then says why).
    void* resolve(const char* name);
    template <class Fn>
    Fn function(const char* name) {
        return reinterpret_cast<Fn>(resolve(name));
    }

private:
    void* handle_ = nullptr;
    QString path_;
    QString error_;
};

}  // namespace qv
