# The Debian package (scripts/package): the files the install file carries,
# for every user, below /usr; dependencies computed from the libraries used.
set(app_dir ${PROJECT_BINARY_DIR}/app)
set(pkg_lib lib/orativo)
install(PROGRAMS ${app_dir}/orativo DESTINATION ${pkg_lib})
install(DIRECTORY ${app_dir}/help ${app_dir}/samples DESTINATION ${pkg_lib})
install(FILES ${app_dir}/icons/orativo.svg DESTINATION ${pkg_lib}/icons)
install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  execute_process(COMMAND ln -sfn ../${pkg_lib}/orativo \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/orativo\")")

# Menu entries of both modes, written by the same code as the per-user ones.
set(entries_dir ${PROJECT_BINARY_DIR}/package-entries)
add_custom_command(OUTPUT ${entries_dir}/orativo-tutor.desktop ${entries_dir}/orativo-student.desktop
  COMMAND ${CMAKE_COMMAND} -E make_directory ${entries_dir}
  COMMAND orativo-pack entries ${entries_dir} /usr/${pkg_lib}/orativo /usr/${pkg_lib}/help/index.html
  DEPENDS orativo-pack VERBATIM)
add_custom_target(orativo_package_entries ALL
  DEPENDS ${entries_dir}/orativo-tutor.desktop ${entries_dir}/orativo-student.desktop)
install(FILES ${entries_dir}/orativo-tutor.desktop ${entries_dir}/orativo-student.desktop
  DESTINATION share/applications)
install(FILES ${app_dir}/icons/orativo.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 48 64 128 256)
  install(FILES ${app_dir}/icons/orativo-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME orativo.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orativo)
set(CPACK_PACKAGE_VENDOR Kestrelon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "learn to say foreign-language phrases: lessons by a tutor, studied aloud")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kestrelon Orativo developers <orativo@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
