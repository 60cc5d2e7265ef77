# Start-up and logon, and the program itself.
add_library(qv_app STATIC
  StartUp.cpp Logon_Unit.cpp InputPasswordBox_Unit.cpp MainWindowFactory.cpp)
target_link_libraries(qv_app PUBLIC qv_settings qv_data qv_card qv_language qv_main qv_platform_widgets Qt6::Widgets)

qv_executable(quorvane main.cpp LIBS qv_app)
