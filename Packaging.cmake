# The Debian package: `cpack -G DEB` in a build folder gives quorvel_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR Orlend)
set(CPACK_PACKAGE_CONTACT "${QUORVEL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read and set a K3 transceiver's transmit power")
set(CPACK_PACKAGE_DESCRIPTION
"Quorvel is a small panel for the station computer. It polls a K3 transceiver
over its serial CAT port and shows the transmit power on a slider and in a
power box, with a lamp for a live link and one for the high-power range.
Releasing the slider or typing a power sets a new power on the radio.
.
The package also holds quorvel-sim, a simulated transceiver on a
pseudo-terminal for trying the panel without a radio.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVEL_MAINTAINER}")
# Directories in the package as Debian expects them, whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
