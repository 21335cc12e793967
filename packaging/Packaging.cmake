# The Debian package: `cpack -G DEB` in the build folder packs what `cmake --install`
# installs (the program, its desktop entry, its icons in the hicolor theme) into
# tallowick_<version>_<arch>.deb.
#
# The libraries the program links against become dependencies through dpkg-shlibdeps
# (Debian dpkg-dev). Added by hand is what it needs without linking to it: the FFmpeg
# libraries and FFTW, which it opens on first use (media/FfmpegLibraries.h,
# audio/FftwLibrary.h), by the major versions it was built against; Qt Multimedia, which
# its embedded sound module links (audio/SoundDevice.h); the encoder tool's LAME MP3 and
# AMR-NB encoders (libavcodec-extra), the libraries of the tool's common path (the tool is
# embedded in the program, so dpkg-shlibdeps does not see what it links against: mpg123,
# libsndfile, libsoxr, LAME, OpenCORE AMR-NB, libebur128) and the skin's font.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallowick)
set(CPACK_PACKAGE_VENDOR Tallowick)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cuts a ringtone out of an audio file")
set(CPACK_PACKAGE_DESCRIPTION
    "Tallowick opens an MP3, WAV or WMA file, lets you place a begin and an end marker on a strip that stands for its timeline, plays the selection, and saves it as an MP3 file or an AMR ringtone.")
set(CPACK_PACKAGE_CONTACT "Tallowick developers <support@tallowick.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tallowick.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(loaded_on_use "")
foreach(library libavutil libswresample libavcodec libavformat)
  string(REGEX MATCH "^[0-9]+" major "${FFMPEG_${library}_VERSION}")
  list(APPEND loaded_on_use "${library}${major}")
endforeach()
list(APPEND loaded_on_use libfftw3-single3 libqt6multimedia${Qt6_VERSION_MAJOR})
list(JOIN loaded_on_use ", " loaded_on_use)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${loaded_on_use}, libavcodec-extra, libmpg123-0 | libmpg123-0t64, libsndfile1, libsoxr0, libmp3lame0, libopencore-amrnb0, libebur128-1, fonts-dejavu-core")
# Qt's wayland platform plugin: without it, Tallowick runs through XWayland on a Wayland desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
