// The program: the main window, after the database has been loaded at its creation.
// spravochnik [FILE.mdb | FOLDER]
#include "app/OwnLook.h"
#include "app/QtTranslation.h"
#include "app/StartDatabase.h"
#include "app/Unit1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("spravochnik"));
    applyOwnLook();
    installQtTranslation();
    // Optional: a database file, or a folder holding tabl1.mdb (Qt's own options are gone).
    if (argc > 1)
        DatabaseArgument = argv[1];

    auto* form = new TForm1; // shows the loading dialog while it is created
    if (!form->dataLoaded()) {
        delete form; // loading abandoned: the window is never shown
        return 0;
    }
    form->show();
    const int rc = app.exec();
    delete form;
    return rc;
}
