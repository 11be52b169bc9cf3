# What an installation holds, and the Debian package made of it (cpack -G DEB from the
# Release build). Programs go to /usr/bin; the module and the libraries it shares with the
# host go to a private directory, /usr/lib/<multiarch>/vak04100, where pdvhost looks for
# the module when it is not beside it and where the programs' RUNPATH finds the libraries,
# both relative to the program's own place, so a tree unpacked anywhere works (dpkg -x).
set(vak_bin_to_lib ${VAK_BIN_TO_PRIVATE_LIBDIR})

set(vak_programs pdvhost cdstool shopgen)
set(vak_libraries Vak04100 hostkit fiscaldev possvc platform_dataset platform_db platform_ui platform_system)
foreach(target IN LISTS vak_programs)
  if(TARGET ${target})
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${vak_bin_to_lib}")
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
foreach(target IN LISTS vak_libraries)
  if(TARGET ${target})
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${target} LIBRARY DESTINATION ${VAK_PRIVATE_LIBDIR} NAMELINK_SKIP)
  endif()
endforeach()

set(vak_doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/vak04100)
install(FILES ${PROJECT_SOURCE_DIR}/schema/sqlite.sql ${PROJECT_SOURCE_DIR}/schema/postgresql.sql
              ${PROJECT_SOURCE_DIR}/schema/mssql.sql ${PROJECT_SOURCE_DIR}/schema/oracle.sql
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/vak04100/schema)
install(FILES ${PROJECT_SOURCE_DIR}/docs/guide.md ${PROJECT_SOURCE_DIR}/docs/screen.png
              ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
        DESTINATION ${vak_doc})
install(FILES ${PROJECT_SOURCE_DIR}/docs/demo/walkthrough.txt DESTINATION ${vak_doc}/demo)
# Debian's documentation carries the package's changelog compressed, reproducibly.
set(vak_changelog ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${vak_changelog}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${vak_changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog VERBATIM)
add_custom_target(vak_changelog ALL DEPENDS ${vak_changelog})
install(FILES ${vak_changelog} DESTINATION ${vak_doc})
# One manual page a program, compressed as Debian keeps them.
foreach(program IN LISTS vak_programs)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/man/${program}.1 > ${page}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${program}.1 VERBATIM)
  list(APPEND vak_pages ${page})
endforeach()
add_custom_target(vak_manpages ALL DEPENDS ${vak_pages})
install(FILES ${vak_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vak04100)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Vak04100 developers <pdv@vak04100.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "loyalty-programme redemption screen for point-of-sale terminals")
# CPack puts the summary first; this is the extended description that follows it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The redemption module (libVak04100.so) loaded by the point-of-sale host,
with the reference host pdvhost (simulated fiscal printer, SAT device and NFC-e
service over a real shop database), pdvhost check for whoever installs a
terminal, cdstool for client-dataset files and shopgen for demo shops and
terminal files. The database schemas are in /usr/share/vak04100/schema.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Linked libraries are found by dpkg-shlibdeps; Qt's SQL drivers are plug-ins it cannot see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS /usr/${VAK_PRIVATE_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-odbc, unixodbc, odbc-postgresql, libsqliteodbc, tdsodbc, fonts-liberation")
include(CPack)
