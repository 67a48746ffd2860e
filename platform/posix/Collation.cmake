# Interim: a plain comparison until the ICU-backed one lands.
target_sources(tessik_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Collation.cpp)
