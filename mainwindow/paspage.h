#ifndef PASPAGE_H
#define PASPAGE_H

#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QObject>
#include <QPair>
#include <QString>

class Kelvara;
class KelvaraCom;
class QWidget;
class SpinBoxWrapper;
class Ui_MainWindow;

// The PAS Setup page: its frames and rows by control source and pedal
// sensor type, the headings and the per-level table for the number of
// assist levels, the KM5S display box and the sensor presets. Whether the
// page is among the tabs is the window's to decide.
class PasPage : public QObject
{
    Q_OBJECT

public:
    using RowKey = QPair<int, int>;
    using RowMap = QMap<RowKey, QWidget*>;

    // Nothing given is owned; the rows are the page's bound rows.
    PasPage(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com, const RowMap& pedalAssistWidgets,
            QObject* parent);

    // Once the rows are bound and the device list is made.
    void initializePAS_UI();
    // The two assist-level boxes' wrappers, made after the page.
    void setAssistLevelWrappers(const QList<SpinBoxWrapper*>& wrappers);
    // Once the assist-level graph is bound.
    void connectAssistLevelAnchors();

signals:
    // The label of a row now goes by a heading in place of its register's
    // name; the row binding shows it, with its unsaved mark.
    void headingChanged(QWidget* row);

public slots:
    void updatePASTabUI();
    void numAssistLevelsChanged(const QString& numLevelsString);
    void updateAssistLevels();
    void KM5SCheckboxChanged(int value);
    void KM5SValueChanged();
    void pedalAssistTypeChanged(int type);
    void resetPasDeviceDropdown();

private:
    struct PasLayout;
    void setAssistHeadings(int levels, const QString& powerPrefix);
    void setLevelTableRows(int levels);
    void applyPasLayout(const PasLayout& layout);
    void switchAssistLevelWrappers(bool power);

    Ui_MainWindow* ui;
    Kelvara* model;
    KelvaraCom* com;
    RowMap pedalAssistWidgets;
    QList<SpinBoxWrapper*> assistLevelWrappers;
    QMetaObject::Connection km5sConnection;
};

#endif // PASPAGE_H
