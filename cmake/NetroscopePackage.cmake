# A Debian package of what `cmake --install` puts in place (scripts/package.sh
# builds and checks it). The libraries come from dpkg-shlibdeps; the rest is what
# the program starts or loads at run time without linking it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME netroscope)
set(CPACK_PACKAGE_VENDOR "Netroscope developers")
set(CPACK_PACKAGE_CONTACT "Netroscope developers <netroscope@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list the hosts of an IPv4 network with names and MAC addresses")
set(CPACK_PACKAGE_DESCRIPTION
  "Netroscope is a desktop tool with a Japanese user interface that lists the hosts of the PC's IPv4 network (one /24 range): for each address it asks the resolver for the host name, pings it once and reads its MAC address from the neighbour table. The list is kept between runs and can be exported to and imported from CSV.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${NETROSCOPE_HOMEPAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ping and ip for the probes; the platform plugin for a window; the font whose
# full-width characters are two columns wide; Qt's own texts in Japanese; the
# desktop's opener for the help page and the homepage.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "iputils-ping, iproute2, qt6-qpa-plugins, fonts-ipafont-gothic, qt6-translations-l10n, xdg-utils")
# The IEEE registries the vendor names come from; without them the MACs stay unnamed.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ieee-data")
include(CPack)
