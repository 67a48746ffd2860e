# The ICU-backed comparison (included from platform/CMakeLists.txt for POSIX builds).
#
# The program does not link ICU, which would cost every start several milliseconds: it
# uses ICU's headers for types and versioned symbol names and loads the libraries when
# the first comparison needs them (collation/IcuApi.cpp).
find_package(ICU 60 REQUIRED COMPONENTS uc i18n)
set(TESSIK_COLLATION_DIR ${CMAKE_CURRENT_LIST_DIR}/collation)

# A native build tool, linked with ICU, writes the tailored collator in ICU's binary
# form; opening that takes microseconds where building from rules takes ~20 ms. It also
# writes that collator's weights of the ASCII characters, with which texts of ASCII
# alone compare without loading ICU at all.
add_executable(tessik_collator_image ${TESSIK_COLLATION_DIR}/MakeCollatorImage.cpp
                                     ${TESSIK_COLLATION_DIR}/WeighLast.cpp)
target_include_directories(tessik_collator_image PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(tessik_collator_image PRIVATE ICU::i18n ICU::uc)

set(TESSIK_COLLATOR_IMAGE ${CMAKE_CURRENT_BINARY_DIR}/CollatorImage.cpp)
set(TESSIK_ASCII_WEIGHTS ${CMAKE_CURRENT_BINARY_DIR}/AsciiWeights.cpp)
add_custom_command(
  OUTPUT ${TESSIK_COLLATOR_IMAGE} ${TESSIK_ASCII_WEIGHTS}
  COMMAND tessik_collator_image ${TESSIK_COLLATOR_IMAGE} ${TESSIK_ASCII_WEIGHTS}
  DEPENDS tessik_collator_image
  COMMENT "Writing the prebuilt ICU collator and its ASCII weights"
  VERBATIM)

target_sources(tessik_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Collation.cpp
  ${TESSIK_COLLATION_DIR}/AsciiOrder.cpp
  ${TESSIK_COLLATION_DIR}/CollationLocale.cpp
  ${TESSIK_COLLATION_DIR}/Collator.cpp
  ${TESSIK_COLLATION_DIR}/IcuApi.cpp
  ${TESSIK_COLLATION_DIR}/WeighLast.cpp
  ${TESSIK_COLLATOR_IMAGE}
  ${TESSIK_ASCII_WEIGHTS})
target_include_directories(tessik_platform PRIVATE ${ICU_INCLUDE_DIRS})
target_link_libraries(tessik_platform PUBLIC ${CMAKE_DL_LIBS})
