# vak_export_header(TARGET BASE_NAME HEADER): a shared library that shows only what its
# headers mark with <BASE_NAME>_EXPORT. Everything else is hidden, inline functions
# included; HEADER (the macro's definition) is generated into the build's include
# directory, which the library's users see too.
include(GenerateExportHeader)
function(vak_export_header target base header)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  generate_export_header(${target} BASE_NAME ${base} EXPORT_FILE_NAME ${PROJECT_BINARY_DIR}/include/${header})
  target_include_directories(${target} PUBLIC ${PROJECT_BINARY_DIR}/include)
endfunction()
