# What a Debian package carries beyond the program: metainfo, manual page, copyright and changelog,
# and the settings `cpack -G DEB` builds the package from.

find_program(GZIP gzip REQUIRED)
set(packageName kalvendor)
set(maintainer "Kalvendor <podrska@kalvendor.example>")
set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated)

# The changelog wants the release day in the mail date form.
execute_process(COMMAND date -u -R -d "${KALVENDOR_RELEASE_DATE} 12:00"
    OUTPUT_VARIABLE releaseDateRfc2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

configure_file(resources/example.kalvendor.Kalvendor.metainfo.xml.in
    ${generated}/example.kalvendor.Kalvendor.metainfo.xml @ONLY)
configure_file(resources/kalvendor.1.in ${generated}/kalvendor.1 @ONLY)
configure_file(resources/changelog.in ${generated}/changelog @ONLY)

# Debian wants both gzipped at the highest level and without a time stamp (-n).
set(gzipped)
foreach(file kalvendor.1 changelog)
    add_custom_command(OUTPUT ${generated}/${file}.gz
        COMMAND ${GZIP} -9nkf ${file}
        WORKING_DIRECTORY ${generated}
        DEPENDS ${generated}/${file}
        VERBATIM)
    list(APPEND gzipped ${generated}/${file}.gz)
endforeach()
add_custom_target(kalvendor_docs ALL DEPENDS ${gzipped})

set(docDir ${CMAKE_INSTALL_DATADIR}/doc/${packageName})
install(FILES ${generated}/example.kalvendor.Kalvendor.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${generated}/kalvendor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES LICENSE DESTINATION ${docDir} RENAME copyright)
# A native package's changelog is "changelog.gz", not "changelog.Debian.gz".
install(FILES ${generated}/changelog.gz DESTINATION ${docDir})
install(FILES resources/kalvendor.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME ${packageName})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${packageName})
set(CPACK_PACKAGE_VENDOR Kalvendor)
set(CPACK_PACKAGE_CONTACT ${maintainer})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list of medical products for an import approval")
# Debian wants lines of at most 80 characters; CPack indents them and marks the empty one.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Kalvendor is a small desktop program in which a clerk prepares the list of"
    "medical products that goes with an application for approval to import"
    "medical products. One record per product line (tariff number, name,"
    "catalogue number, classification code, manufacturer, protocol, supplier,"
    "importer, unit, quantity, currency, price) is typed into one window: a grid"
    "of all records above, one edit box per field below."
    ""
    "The records are kept in the file Baza.xml in the working folder, or in a"
    "folder given on the command line, and can be exported to a text file of"
    "quoted, semicolon-separated values. The program's texts are Croatian.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Debian's directory modes whatever the umask of whoever builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${maintainer})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://kalvendor.example)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not a linked library, so dpkg-shlibdeps cannot see it: Qt's own buttons in Croatian.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
include(CPack)
