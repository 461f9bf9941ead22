# The Debian package. `cpack -G DEB` in the build folder (or tools/package.sh) makes
# pellumo_<version>_<arch>.deb with the program as /usr/bin/pellumo, its desktop entry, AppStream
# metadata, icons, manual page, copyright and changelog.

# Debian wants the changelog and the manual page compressed at the highest level and without a
# time stamp.
find_program(GZIP gzip REQUIRED)
function(pellumo_gzip source output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/debian
    COMMAND ${GZIP} -9 --no-name --stdout ${source} > ${output}
    DEPENDS ${source})
endfunction()
set(debian_source ${PROJECT_SOURCE_DIR}/resources/debian)
set(debian_binary ${PROJECT_BINARY_DIR}/debian)
pellumo_gzip(${debian_source}/changelog ${debian_binary}/changelog.gz)
pellumo_gzip(${debian_source}/pellumo.1 ${debian_binary}/pellumo.1.gz)
add_custom_target(pellumo_debian_docs ALL DEPENDS ${debian_binary}/changelog.gz
                                                  ${debian_binary}/pellumo.1.gz)
install(FILES ${debian_source}/copyright ${debian_binary}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pellumo)
install(FILES ${debian_binary}/pellumo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellumo)
set(CPACK_PACKAGE_VENDOR "hi.baidu.com/pellumo")
set(CPACK_PACKAGE_CONTACT "Pellumo <pellumo@pellumo.net>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://hi.baidu.com/pellumo")
# Linked libraries come from dpkg-shlibdeps; the fonts are no library, and without them the
# Chinese text shows as empty boxes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line is the synopsis; CPack indents the rest as the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "back up the posts of a Baidu Space blog
Pellumo walks the list pages of a blog on the Baidu Space (百度空间) service in
an embedded browser, gathers the address of every post, and saves the body of
each post to a file named after its number and title.

Pellumo 用来备份百度空间博客：在内置浏览器中依次打开博客的每一页文章列表，
收集全部文章链接，再下载每篇文章，把正文保存为以序号和标题命名的文件。")

include(CPack)
