#pragma once
// Qt's own texts (file dialogs, edit menus, message-box buttons) in Russian.

// Loads Qt's Russian translation and installs it in the running application: from Qt's
// translations folder, else from "translations" beside the program or in its install tree's
// share folder. False when none is found; Qt's texts then stay English.
bool installQtTranslation();
