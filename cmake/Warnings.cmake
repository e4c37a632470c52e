# Warnings for the project's own targets (third-party sources are built without them).
function(kiv_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra>)
endfunction()
