# What `cmake --install` puts where, and the packages `cpack` makes from it: on Linux the
# interpreter, its man page, the documents and examples and the editor files, packed as
# kavo_<version>_amd64.deb; for Windows kavo-win.exe with the README, the guide and the
# examples, packed as a zip. The version is the project's, set once in the top CMakeLists.txt.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME kavo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the kavo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interpreter of the kavo language")
set(CPACK_PACKAGE_DESCRIPTION
  "kavo is a small language in which a program is nothing but named functions\n"
  "made of nested calls and every value is an interned text. Fifty built-in\n"
  "functions give console input and output, branching, variables, cutting and\n"
  "joining texts, an integer expression evaluator, random texts and a trace mode.\n"
  "The package holds the interpreter, its manual page, the language guide with\n"
  "example programs, and syntax files for Vim and VS Code.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")

if(NOT WIN32)
  set(KAVO_MAINTAINER "kavo developers <dev@kavo.example>" CACHE STRING
      "Maintainer named in the Debian package")
  install(TARGETS kavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Manual page and changelog go in compressed, without time stamps, as Debian expects.
  configure_file(docs/kavo.1.in kavo.1 @ONLY)
  configure_file(packaging/changelog.in changelog @ONLY)
  foreach(doc kavo.1 changelog)
    add_custom_command(OUTPUT ${doc}.gz
      COMMAND gzip -9nc ${doc} > ${doc}.gz
      DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${doc} VERBATIM)
  endforeach()
  add_custom_target(kavo_docs ALL DEPENDS kavo.1.gz changelog.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kavo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md docs/guide.md docs/errors.md packaging/copyright
                ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(DIRECTORY examples DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # Vim reads PREFIX/share/vim/vimfiles: under /usr the system-wide folder of Debian's Vim.
  install(DIRECTORY editors/vim/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/vim/vimfiles)
  configure_file(editors/vscode/package.json.in vscode/package.json @ONLY)
  set(KAVO_VSCODE_DIR ${CMAKE_INSTALL_DATAROOTDIR}/kavo/editors/vscode)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vscode/package.json
                editors/vscode/language-configuration.json
          DESTINATION ${KAVO_VSCODE_DIR})
  install(DIRECTORY editors/vscode/syntaxes DESTINATION ${KAVO_VSCODE_DIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KAVO_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # dpkg-shlibdeps, from dpkg-dev
else()
  install(TARGETS kavo-win RUNTIME DESTINATION .)
  install(FILES README.md docs/guide.md docs/errors.md DESTINATION .)
  install(DIRECTORY examples DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kavo-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
include(CPack)
