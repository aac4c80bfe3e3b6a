#ifndef AUTOTUNEWIZARD_H
#define AUTOTUNEWIZARD_H

#include "dynamicautotune.h"
#include "staticautotune.h"

#include <QDialog>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>

class Kelvara;
class KelvaraCom;
class QCloseEvent;
class QLabel;

namespace Ui {
class AutotuneWizard;
}

// The modal motor autotune: a stationary test (Rs, Ls), a warning, a
// spinning test (Kv, hall offset, hall table) and a closing page, one page
// form at a time in the frame "mainFrame". Outcomes of the tests become
// pages; the dialog refuses to close while a test runs and deletes itself
// when it closes.
class AutotuneWizard : public QDialog
{
    Q_OBJECT

public:
    enum PageState {
        StaticDone = 0,
        FirstPage = 1,
        SpinningPage = 2,
        WarningPage = 3,
        SpinningRun = 4,
        ClosingPage = 5,
        CommErrorPage = 6,
        FaultPage = 7,
        MotionFaultPage = 8,
        MotorNotDetectedPage = 9,
    };

    AutotuneWizard(Kelvara* runner, KelvaraCom* com, QWidget* parent);
    ~AutotuneWizard() override;

    int getPageState() const { return pageState; }
    // The form's width widened for a logical horizontal DPI.
    static int widenedWidth(int width, int dpi);

signals:
    // The page told the user that these values stay marked until they are
    // saved: the controller holds them outside its flash.
    void toldStayMarked(const QList<int>& addresses);

public slots:
    void cancel();
    void reject() override;
    void processNext();
    void processBack();
    void checkMotorSpinning();
    void flashSaveWasInterrupted();
    void startStaticTest();
    void discoverStaticAutotune();
    void finishedDiscoverStaticAutotune();
    void handleStaticErrors(StaticAutotune::ErrorType e);
    void startDynamicTest();
    void discoverDynamicAutotune();
    void finishedDiscoverDynamicAutotune();
    void handleDynamicErrors(DynamicAutotune::ErrorType e);
    void comError();
    void controllerChanged(bool runMayGoOn);
    void onclearFaults_clicked();

protected:
    void closeEvent(QCloseEvent* evt) override;

private:
    // The motor check before a test: whether it waits for the torque
    // command read.
    enum class WheelState {
        Idle,
        ReadingTorque,
    };
    // The test asked for last.
    enum class TestType {
        Static,
        Dynamic,
    };

    void setBusy(bool busy, bool backEnabled);
    void displayFirstTest();
    void displayMotionWarning();
    void displaySecondTest();
    void displayCompletion();
    void connectInputsAndDisplays();
    void initializeTableWidget();
    void fitHeightToContent();
    void populateHallInformation();
    void faultError();
    void connectionError();
    void motionFaultError(QString* prefix);
    void showMotionFault();
    QString getFaultText();
    void phaseError(QString phase);
    void phaseErrorHelper();
    void emptyMainFrame();
    template<class Form>
    void showPage(Form& form);
    template<class Form>
    void showErrorPage(Form& form, PageState state);
    void bindMotionFaultRows();
    void showRunning();
    void showFinished();
    void showTestPageAgain();
    void startLost();
    void noteMotorMayTurn();
    void followStop();
    void showStopFate();
    void cancelMotorCheck();
    void disconnectTest();
    void noteOnPage(const QString& objectName, const QString& text);
    // The note's text, replaced; none when empty.
    void setNoteOnPage(const QString& objectName, const QString& text);
    void noteUnsavedValues(const QList<int>& addresses);
    void removeNotes();
    // Widgets of the page on show only: a page being deleted is never found.
    template<class T>
    T* pageWidget(const QString& name = QString()) const;

    int pageState = FirstPage;
    WheelState wheelState = WheelState::Idle;
    TestType testType = TestType::Static;
    bool canClose = true;
    Ui::AutotuneWizard* ui;
    StaticAutotune* staticAutotune;
    DynamicAutotune* dynamicAutotune;
    Kelvara* runner;
    KelvaraCom* com;
    QPointer<QWidget> currentPage;
    QList<QMetaObject::Connection> motorCheck;
    QList<QMetaObject::Connection> testConnections;
    QList<QPointer<QLabel>> notes;
};

template<class T>
T* AutotuneWizard::pageWidget(const QString& name) const
{
    return currentPage ? currentPage->findChild<T*>(name) : nullptr;
}

#endif // AUTOTUNEWIZARD_H
