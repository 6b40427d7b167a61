# The packages a user downloads, made by CPack (scripts/package.sh): on Windows a zip to unpack anywhere and
# an installer that installs for the user alone; on Linux two Debian packages, ombrix-merge (the command
# line) and ombrix-merger (the window, which needs the command line's package).
set(CPACK_PACKAGE_NAME OmbrixMerger)
set(CPACK_PACKAGE_VENDOR "The OmbrixMerger developers")
set(CPACK_PACKAGE_CONTACT "The OmbrixMerger developers <ombrix-merger@users.noreply.example>")
set(CPACK_PACKAGE_INSTALL_DIRECTORY OmbrixMerger)
set(CPACK_PACKAGE_HOMEPAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_MONOLITHIC_INSTALL ON)
  set(CPACK_PACKAGE_FILE_NAME "OmbrixMerger-${PROJECT_VERSION}-win64")
  # The project's own installer script: per user, without administrator rights (NSIS.template.in).
  list(PREPEND CMAKE_MODULE_PATH "${PROJECT_SOURCE_DIR}/cmake/nsis")
  set(CPACK_NSIS_PACKAGE_NAME "OmbrixMerger ${PROJECT_VERSION}")
  set(CPACK_NSIS_DISPLAY_NAME "OmbrixMerger")
  set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/res/icon.ico")
  set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/res/icon.ico")
  set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL cli window)
  set(CPACK_COMPONENT_WINDOW_DEPENDS cli)
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_CLI_PACKAGE_NAME ombrix-merge)
  set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME ombrix-merger)
  set(CPACK_DEBIAN_WINDOW_PACKAGE_SECTION utils)
  # Each package its own summary and description, in lines that fit a terminal. CPack puts a package summary
  # (by default the project's description) in front of both: an empty one keeps it out.
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
  set(CPACK_DEBIAN_CLI_DESCRIPTION [[
merge a newer game list into your own, from the command line
ombrix-merge copies the keys of a newer copy of an Ombrix.ini game list
into your own copy, one key at a time, under the policy you pick, and
keeps every other byte of your file as it was. It backs your list up
when it merges in place, can show what a merge would change, check a
list and undo a merge.]])
  set(CPACK_DEBIAN_WINDOW_DESCRIPTION [[
merge a newer game list into your own, in a small window
ombrix-merger is the window of OmbrixMerger: pick the newer list, your
own and one of four policies, and merge. Your list is backed up when it
is merged in place; the result lists every change and can be undone.]])
endif()

include(CPack)
