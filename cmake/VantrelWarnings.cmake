# vantrel_set_warnings(target): the project's warning set, as errors when
# VANTREL_WERROR is on (CI turns it on).
function(vantrel_set_warnings target)
  # MSVC is also true for clang-cl, which takes cl.exe's options (its -Wall
  # would mean -Weverything).
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive-)
    if(VANTREL_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
      -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
      -Wcast-qual -Wformat=2 -Wundef)
    if(VANTREL_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()
