# The Debian package (scripts/package.sh runs cpack with this configuration).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Vantrel developers")
set(CPACK_PACKAGE_CONTACT "Vantrel developers <vantrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tuning tool for a multi-channel car-audio DSP amplifier")
set(CPACK_PACKAGE_DESCRIPTION
  "Vantrel tunes a multi-channel car-audio DSP amplifier over its WiFi adaptor: identify it,\n\
update its firmware, download, edit, store and switch its four setups, with each channel's\n\
response curve. A virtual amplifier (vantrel-sim) and a command-line client (vantrel-cli)\n\
ship beside it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Declared by name rather than by dpkg-shlibdeps, so the list does not depend on the build host;
# the install tests check it covers every library the programs load. The platform plug-ins are
# needed by the window although no library links them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12), \
libqt6core6 (>= 6.4.0), libqt6gui6 (>= 6.4.0), libqt6widgets6 (>= 6.4.0), \
libqt6dbus6 (>= 6.4.0), qt6-qpa-plugins (>= 6.4.0)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "network-manager, fonts-dejavu-core")
include(CPack)
