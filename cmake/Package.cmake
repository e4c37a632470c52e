# What a user downloads: `cmake --install` puts the product files (and nothing from the tests)
# into a folder; the target package_zip packs them into Tarrow-<version>-win32.zip (win64 for
# the 64-bit build) with fixed file times and order, so that two builds of one commit give the
# same bytes.
install(TARGETS Tarrow TarrowW Helper Nettaro RUNTIME DESTINATION . LIBRARY DESTINATION .)
get_target_property(kiv_verify_jar Verify JAR_FILE)
get_target_property(kiv_validator_jar Validator JAR_FILE)
get_target_property(kiv_natives_jar TarrowNatives JAR_FILE)
install(FILES ${kiv_verify_jar} DESTINATION jvmspecs)
install(FILES ${kiv_validator_jar} ${kiv_natives_jar} DESTINATION lib)
install(FILES examples/hello/Tarrow.kiv DESTINATION example)
install(FILES examples/hello/jvmspecs/jvmspecs.example.properties
              examples/hello/jvmspecs/java8.jvmspec DESTINATION example/jvmspecs)
install(FILES docs/configuration.md docs/getting-started.md docs/troubleshooting.md
        DESTINATION docs)
install(FILES LICENSE DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KIV_PACKAGE_SYSTEM win64)
else()
  set(KIV_PACKAGE_SYSTEM win32)
endif()
set(KIV_PACKAGE ${CMAKE_BINARY_DIR}/Tarrow-${PROJECT_VERSION}-${KIV_PACKAGE_SYSTEM}.zip)
set(KIV_SYMBOLS ${CMAKE_BINARY_DIR}/Tarrow-${PROJECT_VERSION}-${KIV_PACKAGE_SYSTEM}-symbols.zip)
# The package holds the binaries without their debug sections; each one's symbols go into
# <binary>.debug in the symbols archive, which the binary names (with its checksum) in a
# .gnu_debuglink section, so that a debugger finds them. objcopy stamps the PE headers it writes
# with SOURCE_DATE_EPOCH: 0, as the linker leaves them, so that two builds give the same bytes.
set(kiv_objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${KIV_OBJCOPY})
set(kiv_split_symbols)
foreach(binary Tarrow.exe TarrowW.exe Helper.dll Nettaro.dll)
  list(APPEND kiv_split_symbols
    COMMAND ${kiv_objcopy} --only-keep-debug package-root/${binary} symbols-root/${binary}.debug
    COMMAND ${kiv_objcopy} --strip-all package-root/${binary}
    COMMAND ${CMAKE_COMMAND} -E chdir symbols-root
            ${kiv_objcopy} --add-gnu-debuglink=${binary}.debug ../package-root/${binary})
endforeach()
add_custom_target(package_zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/package-root ${CMAKE_BINARY_DIR}/symbols-root
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${CMAKE_BINARY_DIR}/package-root
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/symbols-root
  ${kiv_split_symbols}
  COMMAND python3 ${PROJECT_SOURCE_DIR}/scripts/pack_zip.py ${CMAKE_BINARY_DIR}/package-root
          ${KIV_PACKAGE} Tarrow-${PROJECT_VERSION}
  COMMAND python3 ${PROJECT_SOURCE_DIR}/scripts/pack_zip.py ${CMAKE_BINARY_DIR}/symbols-root
          ${KIV_SYMBOLS} Tarrow-${PROJECT_VERSION}-symbols
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS Tarrow TarrowW Helper Nettaro Verify Validator TarrowNatives
  COMMENT "Packing ${KIV_PACKAGE} and ${KIV_SYMBOLS}"
  VERBATIM)
