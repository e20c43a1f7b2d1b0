# The pre-flight report, the scene it summarises, the SVG writer and the batch runner: host-side
# code that reads documents with the reader's own functions.
add_library(polyin_report STATIC
  ${CMAKE_CURRENT_LIST_DIR}/drawn_scene.cpp ${CMAKE_CURRENT_LIST_DIR}/report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/svg_writer.cpp ${CMAKE_CURRENT_LIST_DIR}/batch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/import_run.cpp)
target_link_libraries(polyin_report PUBLIC polyin_reader polyin_host)
target_include_directories(polyin_report PUBLIC ${PROJECT_SOURCE_DIR})
polyin_project_code(polyin_report)

# Pictures of the import: cairo where it is found, librsvg beside it for the comparison. Both
# are x86-64 only here, so the i386 tree leaves them out.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(POLYIN_CAIRO QUIET IMPORTED_TARGET cairo)
    pkg_check_modules(POLYIN_RSVG QUIET IMPORTED_TARGET librsvg-2.0)
  endif()
endif()
if(POLYIN_CAIRO_FOUND)
  add_library(polyin_preview STATIC ${CMAKE_CURRENT_LIST_DIR}/preview.cpp)
  target_link_libraries(polyin_preview PUBLIC polyin_report PkgConfig::POLYIN_CAIRO)
  target_compile_definitions(polyin_preview PUBLIC POLYIN_HAS_PREVIEW=1)
  if(POLYIN_RSVG_FOUND)
    target_link_libraries(polyin_preview PRIVATE PkgConfig::POLYIN_RSVG)
    target_compile_definitions(polyin_preview PUBLIC POLYIN_HAS_COMPARE=1)
  endif()
  polyin_project_code(polyin_preview)
endif()

find_package(CLI11 CONFIG REQUIRED)
add_executable(polyin_import_cli ${CMAKE_CURRENT_LIST_DIR}/import_cli.cpp)
target_link_libraries(polyin_import_cli PRIVATE polyin_report CLI11::CLI11)
if(TARGET polyin_preview)
  target_link_libraries(polyin_import_cli PRIVATE polyin_preview)
endif()
polyin_project_code(polyin_import_cli)
target_compile_definitions(polyin_import_cli PRIVATE
  POLYIN_DEFAULT_MODULE="$<TARGET_FILE:polyin_module>"
  POLYIN_DEFAULT_OUTPUT_DIR="${PROJECT_SOURCE_DIR}/build/out")
add_dependencies(polyin_import_cli polyin_module)
