#ifndef ACCESSLEVEL_H
#define ACCESSLEVEL_H

#include <QMap>
#include <QObject>
#include <QPair>

class Kelvara;
class KelvaraCom;
class QLabel;
class QWidget;
class Ui_MainWindow;

// Access level 3: the Advanced Setup box that writes the access code to
// register 509, the protected rows it unlocks, and the firmware numbers
// that decide which access controls a controller has at all.
class AccessLevel : public QObject
{
    Q_OBJECT

public:
    using RowMap = QMap<QPair<int, int>, QWidget*>;

    // Made once the rows are bound; the protected rows are among those of
    // the Basic and Advanced pages. Nothing given is owned. The status
    // label turns red while level 3 is on.
    AccessLevel(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com, QLabel* statusLabel,
                const RowMap& basicWidgets, const RowMap& advancedWidgets, QObject* parent);

    // A windowless run writes no access code of its own.
    void setWindowless(bool on);

public slots:
    void updateAccessLevelBox();
    void changeParameterAccessLevel(int state);
    void disable_level_3_checkbox();
    void setLevel3Modifyable(bool modifyable);
    void disableAccessLevelFrame();
    void disablePlugBrakingCheckbox();

private:
    void connectAccessLevelBox();
    void setLevel3ModifyableHelper(const RowMap& widgets, bool modifyable);
    bool applyAccessLevel(int state);
    // The status label's colour and the protected rows.
    void showLevel(bool on);

    Ui_MainWindow* ui;
    Kelvara* model;
    KelvaraCom* com;
    QLabel* statusLabel;
    RowMap basicWidgets;
    RowMap advancedWidgets;
    bool windowless = false;
};

#endif // ACCESSLEVEL_H
