# Precompiled headers: the standard library, Qt's widget headers and GoogleTest are most of
# what every translation unit parses; compiling them once per target roughly halves the
# build. Off for the fuzz build (clang with its own instrumentation).
set(TESSARO_PCH_STD <algorithm> <cstdint> <functional> <map> <memory> <set> <string>
    <string_view> <unordered_map> <utility> <vector>)
set(TESSARO_PCH_QT <QApplication> <QCheckBox> <QComboBox> <QDialog> <QHBoxLayout> <QLabel>
    <QLineEdit> <QPainter> <QPushButton> <QString> <QTableWidget> <QTimer> <QVBoxLayout>
    <QWidget>)
set(TESSARO_PCH_TEST <gtest/gtest.h> <gmock/gmock.h>)

# tessaro_pch(target [QT] [TEST])
function(tessaro_pch target)
  if(TESSARO_FUZZ OR NOT TARGET ${target})
    return()
  endif()
  cmake_parse_arguments(_pch "QT;TEST" "" "" ${ARGN})
  set(_headers ${TESSARO_PCH_STD})
  if(_pch_QT)
    list(APPEND _headers ${TESSARO_PCH_QT})
  endif()
  if(_pch_TEST)
    list(APPEND _headers ${TESSARO_PCH_TEST})
  endif()
  list(TRANSFORM _headers PREPEND "$<$<COMPILE_LANGUAGE:CXX>:")
  list(TRANSFORM _headers APPEND ">")
  target_precompile_headers(${target} PRIVATE ${_headers})
endfunction()
