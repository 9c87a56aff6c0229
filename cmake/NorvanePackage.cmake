# Debian packages (cpack -G DEB): one per install component.
#   libvarda1     libvarda.so.1
#   libtamsen1    libtamsen.so.1, its registry entry (/etc/varda/registry.reg) and udev rule
#   libvarda-dev  headers, .so links, pkg-config file
#   norvane       Norvane, norvanectl, the program folder, help, desktop integration
#   norvane-tools adapter-emu, dnetmon, varda-register
# Depends come from dpkg-shlibdeps plus the links between our own packages. Packages are built
# for prefix /usr with DESTDIR staging, so that the registry names the installed library.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Norvane developers <norvane@norvane.invalid>")
set(CPACK_PACKAGE_VENDOR "Norvane")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# dpkg-shlibdeps runs in each package's staging folder; our own libraries are found in their
# packages' folders and depended on explicitly below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ../libvarda/usr/${CMAKE_INSTALL_LIBDIR} ../libtamsen/usr/${CMAKE_INSTALL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://norvane.invalid/")
set(CPACK_COMPONENTS_ALL libvarda libtamsen dev program tools)
set(norvane_deb_version "${PROJECT_VERSION}")

set(CPACK_DEBIAN_LIBVARDA_PACKAGE_NAME libvarda1)
set(CPACK_DEBIAN_LIBVARDA_PACKAGE_SECTION libs)
# The libraries refresh the linker cache through the ldconfig trigger, not from their scripts
# (CPack's own postinst/postrm would call ldconfig; control files named so replace them).
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/ldconfig.triggers ${CMAKE_BINARY_DIR}/package/triggers COPYONLY)
set(CPACK_DEBIAN_LIBVARDA_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/package/triggers
  ${CMAKE_SOURCE_DIR}/cmake/debian/libvarda1/postinst ${CMAKE_SOURCE_DIR}/cmake/debian/libvarda1/postrm)
set(CPACK_COMPONENT_LIBVARDA_DESCRIPTION "DeviceNet master API dispatcher library\nlibvarda.so forwards the master API to the device library registered for each\nadapter type in /etc/varda/registry.reg.")

set(CPACK_DEBIAN_LIBTAMSEN_PACKAGE_NAME libtamsen1)
set(CPACK_DEBIAN_LIBTAMSEN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBTAMSEN_PACKAGE_DEPENDS "libvarda1 (= ${norvane_deb_version})")
set(CPACK_COMPONENT_LIBTAMSEN_DESCRIPTION "DeviceNet USB master adapter library (device type 101)\nlibtamsen.so drives the USB master adapter. The package registers it for\ndevice type 101 and gives the logged-in user access to the adapter through\na udev rule.")
set(norvane_conffiles ${CMAKE_BINARY_DIR}/package/libtamsen/conffiles)
file(WRITE ${norvane_conffiles} "/etc/varda/registry.reg\n")
set(CPACK_DEBIAN_LIBTAMSEN_PACKAGE_CONTROL_EXTRA ${norvane_conffiles} ${CMAKE_BINARY_DIR}/package/triggers
  ${CMAKE_SOURCE_DIR}/cmake/debian/libtamsen1/postinst ${CMAKE_SOURCE_DIR}/cmake/debian/libtamsen1/postrm)

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvarda-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libvarda1 (= ${norvane_deb_version}), libtamsen1 (= ${norvane_deb_version})")
set(CPACK_COMPONENT_DEV_DESCRIPTION "DeviceNet master API - development files\nHeaders of the master API and a pkg-config file (varda) for programs that\ndrive DeviceNet master adapters through libvarda.so.")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME norvane)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION electronics)
# qt6-translations-l10n: Qt's own dialog and button texts in Chinese.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "libvarda1 (= ${norvane_deb_version}), libtamsen1 (= ${norvane_deb_version}), qt6-translations-l10n")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS "norvane-tools")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "DeviceNet master configuration and test program\nNorvane configures a DeviceNet master adapter and its slaves from EDS files,\nstarts the master and shows the live network: slave states, I/O data,\nparameters, explicit messages and an information log. norvanectl runs a\nnetwork file without a window.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME norvane-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libtamsen1 (= ${norvane_deb_version})")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "DeviceNet adapter emulator and tools\nadapter-emu emulates master adapters with a simulated network, dnetmon\nshows the decoded bus traffic of an adapter in test mode, varda-register\nregisters device libraries and adapter USB ids.")

# Every package carries the copyright file and a changelog in /usr/share/doc/<package>.
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
find_program(GZIP gzip REQUIRED)
execute_process(COMMAND ${GZIP} -9 -n -f -k ${CMAKE_BINARY_DIR}/package/changelog)
foreach(component libvarda libtamsen dev program tools)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  # Lintian tags that are intended for this package, each with its reason.
  if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/debian/${package}.lintian-overrides)
    install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/${package}.lintian-overrides
      DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${package} COMPONENT ${component})
  endif()
endforeach()

include(CPack)
