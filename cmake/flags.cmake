# Warning and float flags shared by every target of the project.
function(polyin_project_code target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wdouble-promotion
    -ffp-contract=off -fno-fast-math)
  if(POLYIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(POLYIN_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# Code that ends up inside the module: no exceptions, no RTTI, no unique symbols,
# nothing visible but what the export map names.
function(polyin_module_code target)
  polyin_project_code(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -fno-gnu-unique)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()
