# Headers that every file of a target parses, precompiled once for it. Only for the targets
# of many files that parse Qt's widgets or GoogleTest: the precompiled header costs about as
# much as compiling two of their files, and saves one to three seconds on each.
set(PATHMERE_PCH_STD <algorithm> <chrono> <functional> <memory> <string> <thread> <vector>)
set(PATHMERE_PCH_GTEST <gtest/gtest.h> ${PATHMERE_PCH_STD})
set(PATHMERE_PCH_WIDGETS <QAction> <QApplication> <QDialog> <QDir> <QFile> <QKeyEvent> <QLabel>
  <QLoggingCategory> <QMenu> <QPointer> <QString> <QTimer> <QTreeWidget> <QWidget>
  ${PATHMERE_PCH_STD})
set(PATHMERE_PCH_WIDGETS_TEST <QSignalSpy> <QTemporaryDir> <QTest> <gtest/gtest.h>
  ${PATHMERE_PCH_WIDGETS})

# pathmere_precompile(target GTEST|WIDGETS|WIDGETS_TEST)
function(pathmere_precompile target kind)
  target_precompile_headers(${target} PRIVATE ${PATHMERE_PCH_${kind}})
endfunction()
