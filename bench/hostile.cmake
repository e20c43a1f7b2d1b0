# Growth of parse time and peak memory over hostile documents of 1x to 8x size (included by
# bench/CMakeLists.txt). Not a timed test: the smoke run only checks that every class completes.
add_executable(polyin_hostile_growth ${CMAKE_CURRENT_LIST_DIR}/hostile_growth.cpp)
target_link_libraries(polyin_hostile_growth PRIVATE polyin_bench_documents polyin_reader)
polyin_project_code(polyin_hostile_growth)
target_compile_options(polyin_hostile_growth PRIVATE -Wno-double-promotion)
add_test(NAME BenchSmoke.HostileGrowth COMMAND polyin_hostile_growth --smoke)
set_tests_properties(BenchSmoke.HostileGrowth PROPERTIES LABELS bench TIMEOUT 120)
