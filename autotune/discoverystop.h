#ifndef DISCOVERYSTOP_H
#define DISCOVERYSTOP_H

#include "controlleridentity.h"

#include <QObject>
#include <QTimer>

class Kelvara;
class KelvaraCom;

// Stops a discovery run of the controller (register 481 := 0) and sees the
// stop through: a stop the controller did not confirm is sent again each
// time the controller answers, until it reports 481 = 0. While a stop is
// lost the controller is asked by connection checks of its own, so that it
// goes out also while nothing else talks to the controller (the window
// holds its checks while a box is open).
//
// The stop goes to the controller it stops, and to none known to be
// another. While no check has told who answers (after a silence), it goes
// at once to whichever controller answers: it carries nothing of any
// controller's values. Once another controller has been identified on the
// cable, the stop is owed: it waits until the controller it stops is
// identified again, and then goes before anything else. Only the
// controller it stops confirms it: after a failed exchange its read-back
// waits until the controller that answers has been identified, and a
// 481 = 0 of another controller (the cable moved) leaves the stop pending
// for the one that runs.
//
// One per link, owned by it: a stop outlasts the test and the wizard that
// asked for it. The stop is the suite's own write, never an unsaved change
// for the next save.
class DiscoveryStop : public QObject
{
    Q_OBJECT

public:
    // The link's one, made on first use.
    static DiscoveryStop* of(Kelvara* runner, KelvaraCom* com);

    // Sends the stop now, ahead of the request of a test that has just
    // ended, unless the link has identified another controller answering:
    // then it is owed to the controller given. Only the controller given
    // ends it (any controller, when it is unknown).
    void request(const ControllerIdentity& controller);
    // A new discovery run on the controller given takes over the register:
    // a stop owed to it is not sent again. One owed to another stays.
    void cancel(const ControllerIdentity& controller);

    // A stop has not been confirmed by its controller yet.
    bool isPending() const { return pending; }
    // The stop waits until its controller is identified again.
    bool isOwed() const { return pending && !mayReachStopped(); }

signals:
    // The controller stopped reported 481 = 0.
    void delivered();

private:
    DiscoveryStop(Kelvara* runner, KelvaraCom* com);

    enum class Order {
        AfterWork,       // behind the link's work
        AfterTestRead,   // ahead of the request of a test that has just ended
        BeforeEverything // the very next frame
    };
    void send(Order order = Order::AfterWork);
    // The controller that answers may be the one stopped: none known to
    // be another has been identified since.
    bool mayReachStopped() const;
    void takeIdentity(const ControllerIdentity& identity);
    // A read of 481 stored the controller's value.
    void takeReport();
    // The value being stored is known to be of the controller stopped.
    bool isReportOfStoppedController() const;
    void takeFailure();
    void resendAfterLoss();
    void resend();
    void probe();
    // The read that ends the stop in flight still waits in the link's queue.
    bool readStillQueued() const;

    Kelvara* runner;
    KelvaraCom* com;
    ControllerIdentity stopped;
    // The controller the link last identified as the one that answers.
    ControllerIdentity onCable;
    bool pending = false;
    // A stop and its read-back are queued or on the line.
    bool sending = false;
    // The last stop never reached the controller: any answer of it sends
    // the stop again. A stop it heard is sent again at the next connection
    // check only, so a controller that keeps running is not flooded.
    bool lost = false;
    // The stop is being queued: what it puts into the model is no report.
    bool queueingStop = false;
    QTimer probeTimer;
};

#endif // DISCOVERYSTOP_H
