#pragma once

class QCoreApplication;

namespace tombolix {

// Qt's own texts (standard buttons, the file, colour and font dialogs, the
// edit menus of text boxes) in Chinese like the rest of the program, whatever
// the desktop's language. Number and date formats stay the locale's. False
// when Qt's Chinese catalogue is not installed: those texts then stay English.
// Calling it again changes nothing.
bool installChineseTranslations(QCoreApplication &app);

// On Windows, the windows' text in the system's Chinese UI font (微软雅黑
// where present) when the desktop's own font has no Chinese, as on a Windows
// set to another language. Elsewhere the desktop's font stays.
void useChineseUiFont();

} // namespace tombolix
