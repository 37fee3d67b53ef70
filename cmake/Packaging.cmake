# Installing and packaging. The native build installs imagedb with its manual
# page and bash completion and packs them as a Debian package; the Windows
# build installs the window program and imagedb.exe side by side and packs
# them as an NSIS installer and a .zip. `cmake --build BUILD --target package`
# writes the packages to BUILD/packages.
include(GNUInstallDirs)

set(CPACK_PACKAGE_VENDOR "Ferrovel Software")
set(CPACK_PACKAGE_CONTACT "Ferrovel Software <support@ferrovel.example>")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS ImageManager imagedb RUNTIME DESTINATION .)

  set(CPACK_GENERATOR NSIS ZIP)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Views, imports, exports, prints and installs Brushwick image databases")
  set(CPACK_PACKAGE_INSTALL_DIRECTORY "Ferrovel Image Manager")
  set(CPACK_PACKAGE_EXECUTABLES ImageManager "Ferrovel Image Manager")
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_NSIS_PACKAGE_NAME "Ferrovel Image Manager")
  set(CPACK_NSIS_DISPLAY_NAME "Ferrovel Image Manager ${PROJECT_VERSION}")
  set(CPACK_NSIS_INSTALLED_ICON_NAME ImageManager.exe)
  set(CPACK_NSIS_MUI_ICON ${CMAKE_BINARY_DIR}/app/ImageManager.ico)
  set(CPACK_NSIS_MUI_UNIICON ${CMAKE_BINARY_DIR}/app/ImageManager.ico)
  set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
  # An administrator installs for every user of the machine, into Program
  # Files; anyone else for themselves, without being asked for a password.
  set(CPACK_NSIS_DEFINES "RequestExecutionLevel highest")
  # An older version goes first, silently too, so that none of its files stay.
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
else()
  install(TARGETS imagedb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  find_program(FERROVEL_HELP2MAN help2man REQUIRED)
  set(man_page ${CMAKE_BINARY_DIR}/man/imagedb.1)
  add_custom_command(OUTPUT ${man_page}.gz
    COMMAND ${CMAKE_COMMAND} -DIMAGEDB=$<TARGET_FILE:imagedb> -DHELP2MAN=${FERROVEL_HELP2MAN}
            -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${man_page}
            -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    COMMAND gzip -9 -n -f -k ${man_page}
    DEPENDS imagedb cmake/ManPage.cmake packaging/imagedb.h2m
    COMMENT "Writing the manual page of imagedb")
  add_custom_target(imagedb_man_page ALL DEPENDS ${man_page}.gz)
  install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES packaging/imagedb.bash RENAME imagedb
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ferrovel-imagedb)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "command-line tool for the image databases of a handheld painting program")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
imagedb creates, lists and checks the image databases of Brushwick (Palm OS
.PDB files), exports their images as bitmaps or PNG pictures, imports PNG,
JPEG, GIF and bitmap pictures as new images, and deletes, renames and moves
images.")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
