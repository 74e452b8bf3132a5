# The hosts' view of the exports, generated sound systems and the platform
# checks: shared by the hardening tests, the fuzz target and the benchmarks.
find_package(nlohmann_json 3 REQUIRED)
add_library(velto_hardening_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/host_calls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/generated_systems.cpp
  ${CMAKE_CURRENT_LIST_DIR}/platform_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/outcome_rules.cpp)
target_include_directories(velto_hardening_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(velto_hardening_support PUBLIC velto_core nlohmann_json::nlohmann_json)
