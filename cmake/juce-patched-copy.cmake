# A patched copy of Debian's JUCE modules in the build folder, shared by the Linux and the Windows
# build. Debian's sources under JUCE_MODULES_DIR are never modified.
#
#   juce_patched_copy(<copy folder> PATCHES <patch>... [ADD_FILE <file> INTO <folder inside the copy>])
#
# Copies the modules of juce_modules (cmake/juce-settings.cmake) into <copy folder>, applies each patch
# there with `patch -p1` in the order given, and copies ADD_FILE into the copy. The copy is made at
# configure time and made again only when a patch, the added file or the module list changes (a stamp
# in the copy holds their digests); otherwise its files keep their time stamps and the toolkit library
# is not rebuilt. When it is made again, all its files are new to the build tool, and ccache finds the
# objects of the unchanged sources.
function(juce_patched_copy copy)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ADD_FILE;INTO" "PATCHES")
  set(inputs ${arg_PATCHES} ${arg_ADD_FILE})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${inputs})

  set(stamp_text "${JUCE_MODULES_DIR}: ${juce_modules}\n")
  foreach(input ${inputs})
    file(SHA256 ${input} hash)
    get_filename_component(name ${input} NAME)
    string(APPEND stamp_text "${hash} ${name}\n")
  endforeach()
  set(stamp ${copy}/.patched)
  set(old_stamp_text "")
  if(EXISTS ${stamp})
    file(READ ${stamp} old_stamp_text)
  endif()
  if(old_stamp_text STREQUAL stamp_text)
    return()
  endif()

  find_program(PATCH_PROGRAM patch REQUIRED)
  file(REMOVE_RECURSE ${copy})
  foreach(module ${juce_modules})
    file(COPY ${JUCE_MODULES_DIR}/${module} DESTINATION ${copy})
  endforeach()
  foreach(patch ${arg_PATCHES})
    execute_process(COMMAND ${PATCH_PROGRAM} -p1 --quiet --no-backup-if-mismatch -i ${patch}
                    WORKING_DIRECTORY ${copy} RESULT_VARIABLE patch_result)
    if(NOT patch_result EQUAL 0)
      file(REMOVE_RECURSE ${copy})
      message(FATAL_ERROR "JUCE patch ${patch} does not apply to ${JUCE_MODULES_DIR}")
    endif()
  endforeach()
  if(arg_ADD_FILE)
    file(COPY ${arg_ADD_FILE} DESTINATION ${copy}/${arg_INTO})
  endif()
  # file(COPY) keeps Debian's time stamps: a file that a changed or removed patch no longer alters
  # would look older than its object files, and the build would keep objects of the old patch.
  file(GLOB_RECURSE copied_files ${copy}/*)
  file(TOUCH_NOCREATE ${copied_files})
  # Written last: a copy interrupted half-way has no stamp and is made again.
  file(WRITE ${stamp} "${stamp_text}")
endfunction()
