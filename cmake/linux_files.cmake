# What a Linux package carries beside its program: a manual page and a Debian changelog for each package, and
# for the window its desktop entry, AppStream metainfo and icons. Debian wants the page and the changelog
# compressed with gzip -9n (no name or time inside, so the same sources give the same bytes).

function(ombrix_gzip source compressed)
  add_custom_command(OUTPUT ${compressed}
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${source} ${compressed}
    DEPENDS ${source} VERBATIM)
endfunction()

# The manual page docs/man/PAGE.1.in with the version and the release date filled in, and the changelog of
# the Debian package PACKAGE, installed with COMPONENT.
function(ombrix_add_package_documents target page package component)
  set(manual ${CMAKE_CURRENT_BINARY_DIR}/${page}.1)
  set(changelog ${CMAKE_CURRENT_BINARY_DIR}/${package}.changelog)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1.in ${manual} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${changelog} @ONLY)
  ombrix_gzip(${manual} ${manual}.gz)
  ombrix_gzip(${changelog} ${changelog}.gz)
  add_custom_target(${target} ALL DEPENDS ${manual}.gz ${changelog}.gz)
  install(FILES ${manual}.gz DESTINATION share/man/man1 COMPONENT ${component})
  install(FILES ${changelog}.gz DESTINATION share/doc/${package} RENAME changelog.gz COMPONENT ${component})
endfunction()

# The window's desktop entry, its AppStream metainfo, and its icon at the sizes desktops look for, drawn from
# the SVG by rsvg-convert.
function(ombrix_add_desktop_files component)
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  set(metainfo ${CMAKE_CURRENT_BINARY_DIR}/${OMBRIX_APP_ID}.metainfo.xml)
  configure_file(${PROJECT_SOURCE_DIR}/res/ombrix-merger.metainfo.xml.in ${metainfo} @ONLY)
  install(FILES ${metainfo} DESTINATION share/metainfo COMPONENT ${component})
  install(FILES ${PROJECT_SOURCE_DIR}/res/ombrix-merger.desktop DESTINATION share/applications COMPONENT ${component})
  set(icons "")
  foreach(size 48 64 128 256)
    set(icon ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}/ombrix-merger.png)
    add_custom_command(OUTPUT ${icon}
      COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${icon} ${PROJECT_SOURCE_DIR}/res/icon.svg
      DEPENDS ${PROJECT_SOURCE_DIR}/res/icon.svg VERBATIM)
    list(APPEND icons ${icon})
    install(FILES ${icon} DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT ${component})
  endforeach()
  add_custom_target(ombrix-merger-icons ALL DEPENDS ${icons})
  install(FILES ${PROJECT_SOURCE_DIR}/res/icon.svg
          DESTINATION share/icons/hicolor/scalable/apps RENAME ombrix-merger.svg COMPONENT ${component})
endfunction()
