#pragma once
// Qt's own texts (standard buttons, the edit fields' menus) in Russian, as every
// other text of the program, from the translations the system's Qt ships.
// False when they are not installed; Qt's English texts then stay.
bool LoadQtRussianTexts();
