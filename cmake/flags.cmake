# AddressSanitizer and UndefinedBehaviorSanitizer, with every report fatal. Float-to-integer
# conversions out of range are checked too: they are undefined and input-driven (counts, alpha).
set(POLYIN_SANITIZER_FLAGS -fsanitize=address,undefined,float-cast-overflow)
function(polyin_sanitized_code target)
  target_compile_options(${target} PRIVATE ${POLYIN_SANITIZER_FLAGS}
    -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  target_link_options(${target} PRIVATE ${POLYIN_SANITIZER_FLAGS})
  target_compile_definitions(${target} PRIVATE POLYIN_SANITIZED=1)
endfunction()

# Warning and float flags shared by every target of the project; MODULE after the target
# marks code that ends up inside the module.
function(polyin_project_code target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wdouble-promotion
    -ffp-contract=off -fno-fast-math)
  if(POLYIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(POLYIN_SANITIZE)
    polyin_sanitized_code(${target})
  endif()
  # The checking trees bound-check the standard library's containers and strings too (the
  # sanitizers miss an index past a vector's size within its capacity). Not in module code:
  # the checks' failure handler would bring the C++ runtime's exception support into the
  # module, whose pool is never freed when the module is unloaded.
  if((POLYIN_SANITIZE OR POLYIN_FUZZ) AND NOT "MODULE" IN_LIST ARGN)
    target_compile_definitions(${target} PRIVATE _GLIBCXX_ASSERTIONS)
  endif()
endfunction()

# Code that ends up inside the module: no exceptions, no RTTI, no unique symbols,
# nothing visible but what the export map names.
function(polyin_module_code target)
  polyin_project_code(${target} MODULE)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti
    $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()
