# The parts of charting at the keyboard, built and tested on their own until the editor's
# folders they belong to take them in.
if(TARGET tavix_editor)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_library(tavix_time_axis INTERFACE)
  target_link_libraries(tavix_time_axis INTERFACE tavix_display)

  add_library(tavix_keyboard_canvas STATIC
    editor/canvas/EditCursor.h editor/canvas/EditCursor.cpp
    editor/canvas/RangeSelection.h editor/canvas/RangeSelection.cpp
    editor/canvas/CanvasZoom.h editor/canvas/CanvasZoom.cpp
    editor/canvas/StepEntry.h editor/canvas/StepEntry.cpp
    editor/canvas/CursorKeys.h editor/canvas/CursorKeys.cpp)
  target_include_directories(tavix_keyboard_canvas PUBLIC editor/canvas)
  target_link_libraries(tavix_keyboard_canvas PUBLIC tavix_chart tavix_time_axis)

  add_library(tavix_keyboard_commands STATIC
    editor/commands/KeyTransforms.h editor/commands/KeyTransforms.cpp
    editor/commands/LongKeyText.h editor/commands/LongKeyText.cpp)
  target_include_directories(tavix_keyboard_commands PUBLIC editor/commands)
  target_link_libraries(tavix_keyboard_commands PUBLIC tavix_chart)

  add_subdirectory(editor/shortcuts)
  add_library(tavix_keys_dialog STATIC editor/dialogs/KeysDialog.h editor/dialogs/KeysDialog.cpp)
  target_include_directories(tavix_keys_dialog PUBLIC editor/dialogs)
  target_link_libraries(tavix_keys_dialog PUBLIC tavix_editor_shortcuts Qt6::Widgets)

  tavix_add_test(keyboard_charting_test
    SOURCES tests/display/TimeAxisTest.cpp tests/editor/canvas/KeyboardCursorTest.cpp
            tests/editor/commands/KeyTransformsTest.cpp tests/editor/commands/LongKeyTextTest.cpp
    LIBS tavix_keyboard_canvas tavix_keyboard_commands tavix_editor)
  add_subdirectory(tests/editor/shortcuts)
  tavix_add_test(keys_dialog_test
    SOURCES tests/editor/GuiTestMain.cpp tests/editor/dialogs/KeysDialogTest.cpp
    LIBS tavix_keys_dialog Qt6::Test GUI)
endif()

if(TARGET tavix_editor AND TAVIX_BENCH)
  find_package(benchmark REQUIRED)
  add_executable(tavix_keyboard_bench bench/editor/KeyTransformBench.cpp)
  target_link_libraries(tavix_keyboard_bench PRIVATE tavix_keyboard_commands tavix_editor
                                                     benchmark::benchmark benchmark::benchmark_main)
endif()
