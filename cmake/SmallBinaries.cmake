# Small binaries: a launcher is copied beside every application and the JNI libraries are loaded
# into every application's VM. Optimised for size, with a section per function and datum so that
# the linker drops what nothing uses. Included before the first target is declared: directory
# options reach only the targets declared after them, and the platform-free logic is most of the
# launcher's code. -Oz trades a little speed in places that are never hot for size; nothing
# uses run-time type information (exceptions still carry their types), so none is generated.
# No IPA-SRA: it gave each source file its own clones of the string and vector members it
# calls, instead of the one shared copy (some 15 KB in the launcher).
add_compile_options(-Oz $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti> -fno-ipa-sra -ffunction-sections
                    -fdata-sections)
add_link_options(-Wl,--gc-sections)
