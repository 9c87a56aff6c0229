# Installation: `cmake --install` lays out a system that runs under any prefix.
#
#   bin/Norvane, norvanectl, adapter-emu, dnetmon, varda-register
#   share/norvane/              the program folder: Norvane.xml, config.xml, language/,
#                               edsfile/ (demo EDS files), help.chm, help/ (HTML help)
#   lib/<arch>/libvarda.so.1, libtamsen.so.1   (+ .so links and pkg-config file for developers)
#   include/norvane/            the master API headers
#   share/applications, share/mime/packages, share/metainfo, share/icons/hicolor, share/man/man1
#   lib/udev/rules.d/60-norvane-adapter.rules   uaccess for the registered adapter USB ids
#   /etc/varda/registry.reg     (prefix /usr; <prefix>/etc/varda otherwise) device type 101
#
# The programs find share/norvane from their own location (../share/norvane) and the libraries
# through a relative run path, so nothing names the prefix. Components, one per package:
# libvarda, libtamsen, dev, program, tools.
include(GNUInstallDirs)

set(NORVANE_PROGRAM_DIR ${CMAKE_INSTALL_DATADIR}/norvane)
# The adapters' USB ids registered at install time (VID:PID, comma-separated; empty for none).
set(NORVANE_ADAPTER_USB_IDS "1a2b:0001" CACHE STRING "USB ids of the adapters given to the logged-in user")

# Relative run paths from bin/ to the library folder.
file(RELATIVE_PATH norvane_bin_to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
set(norvane_rpath "$ORIGIN/${norvane_bin_to_lib}")

# ---- libraries ----
foreach(lib varda tamsen)
  if(TARGET ${lib})
    set_target_properties(${lib} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION 1)
    install(TARGETS ${lib}
      LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib${lib} NAMELINK_COMPONENT dev)
  endif()
endforeach()

# ---- programs ----
set(norvane_programs)
foreach(program Norvane norvanectl)
  if(TARGET ${program})
    list(APPEND norvane_programs ${program})
  endif()
endforeach()
foreach(program ${norvane_programs})
  set_target_properties(${program} PROPERTIES INSTALL_RPATH "${norvane_rpath}")
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
endforeach()
set(norvane_tools)
foreach(tool adapter-emu dnetmon varda-register)
  if(TARGET ${tool})
    list(APPEND norvane_tools ${tool})
    set_target_properties(${tool} PROPERTIES INSTALL_RPATH "${norvane_rpath}")
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  endif()
endforeach()

# ---- the program folder ----
if(norvane_programs)
  set(res ${CMAKE_SOURCE_DIR}/resources)
  install(FILES ${res}/Norvane.xml ${res}/config.xml DESTINATION ${NORVANE_PROGRAM_DIR} COMPONENT program)
  install(FILES ${res}/language/config.ini ${res}/language/english.xml
    DESTINATION ${NORVANE_PROGRAM_DIR}/language COMPONENT program)
  # The Chinese entry of the language list is the built-in document itself.
  install(FILES ${res}/builtin.xml DESTINATION ${NORVANE_PROGRAM_DIR}/language RENAME chinese.xml COMPONENT program)
  file(GLOB norvane_demo_eds ${res}/demo/eds/*.eds ${res}/demo/eds/*.EDS)
  install(FILES ${norvane_demo_eds} DESTINATION ${NORVANE_PROGRAM_DIR}/edsfile COMPONENT program)
  # The demo network and its simulated bus, to try the program with adapter-emu.
  install(FILES ${res}/demo/demo.kld ${res}/demo/bus.xml ${res}/demo/commission_bus.xml ${res}/demo/README.md
    DESTINATION ${NORVANE_PROGRAM_DIR}/demo COMPONENT program)
  install(FILES ${norvane_demo_eds} DESTINATION ${NORVANE_PROGRAM_DIR}/demo/eds COMPONENT program)
endif()

# ---- desktop integration ----
if(TARGET Norvane)
  set(shell ${CMAKE_SOURCE_DIR}/app/shell)
  install(FILES ${shell}/org.norvane.Norvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
  install(FILES ${shell}/org.norvane.Norvane.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
    RENAME org.norvane.Norvane.xml COMPONENT program)
  install(FILES ${shell}/org.norvane.Norvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT program)
endif()

# ---- developer files ----
if(TARGET varda)
  install(FILES ${CMAKE_SOURCE_DIR}/master_api/varda_api.h ${CMAKE_SOURCE_DIR}/master_api/varda_functions.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/norvane COMPONENT dev)
  if(EXISTS ${CMAKE_SOURCE_DIR}/tamsen/include/dnettest.h)
    install(FILES ${CMAKE_SOURCE_DIR}/tamsen/include/dnettest.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/norvane COMPONENT dev)
  endif()
  # Relative to the .pc file, so that the file is right under any prefix.
  file(RELATIVE_PATH norvane_pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" norvane_pc_to_prefix "${norvane_pc_to_prefix}")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/varda.pc.in ${CMAKE_BINARY_DIR}/varda.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/varda.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endif()

# ---- device library registration and USB access ----
if(TARGET tamsen AND TARGET varda-register)
  set(norvane_udev_rule lib/udev/rules.d/60-norvane-adapter.rules)
  install(CODE "
    # \$VARDA_REGISTRY names another registry file (without DESTDIR: it is the live one).
    # The system's registry under /usr; an install elsewhere keeps its own in <prefix>/etc/varda.
    set(regfile \"\$ENV{VARDA_REGISTRY}\")
    if(regfile STREQUAL \"\" AND CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(regfile \"\$ENV{DESTDIR}/etc/varda/registry.reg\")
    elseif(regfile STREQUAL \"\")
      set(regfile \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/etc/varda/registry.reg\")
    endif()
    get_filename_component(regdir \"\${regfile}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${regdir}\")
    set(rules \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${norvane_udev_rule}\")
    set(lib \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/libtamsen.so.1\")
    set(args)
    if(NOT \"${NORVANE_ADAPTER_USB_IDS}\" STREQUAL \"\")
      get_filename_component(rulesdir \"\${rules}\" DIRECTORY)
      file(MAKE_DIRECTORY \"\${rulesdir}\")
      set(args --usb-ids \"${NORVANE_ADAPTER_USB_IDS}\" --udev-rules \"\${rules}\")
      list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${rules}\")
    endif()
    message(STATUS \"Registering \${lib} for device type 101 in \${regfile}\")
    execute_process(COMMAND \"$<TARGET_FILE:varda-register>\" \${args} \"\${regfile}\" 101 \"\${lib}\"
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR \"cannot register libtamsen.so in \${regfile}\")
    endif()
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${regfile}\")
  " COMPONENT libtamsen)
endif()

# ---- help and manual pages ----
if(EXISTS ${CMAKE_SOURCE_DIR}/docs/help/CMakeLists.txt AND norvane_programs)
  add_subdirectory(${CMAKE_SOURCE_DIR}/docs/help ${CMAKE_BINARY_DIR}/docs/help)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/docs/man/CMakeLists.txt)
  add_subdirectory(${CMAKE_SOURCE_DIR}/docs/man ${CMAKE_BINARY_DIR}/docs/man)
endif()
if(TARGET Norvane AND EXISTS ${CMAKE_SOURCE_DIR}/app/shell/icons/CMakeLists.txt)
  add_subdirectory(${CMAKE_SOURCE_DIR}/app/shell/icons ${CMAKE_BINARY_DIR}/app/shell/icons)
endif()

include(cmake/NorvanePackage.cmake)
