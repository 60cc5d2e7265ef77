# The data card window and the door-opening records window.
target_sources(qv_cards PRIVATE
  ReadDataCard_Unit.cpp ReadDataCard_Unit.h
  OpenDoorRecord_Unit.cpp OpenDoorRecord_Unit.h)
