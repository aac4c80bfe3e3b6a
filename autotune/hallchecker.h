#ifndef HALLCHECKER_H
#define HALLCHECKER_H

#include <QObject>
#include <QString>

class Kelvara;

// Judges the hall sector table the controller learnt in the spinning test
// (registers 440..447: the sector of each hall state, 15 for a state never
// seen), explains a bad table, repairs one duplicated sector in the working
// table (80..87) and carries the texts and the hall offset the wizard shows.
class HallChecker : public QObject
{
    Q_OBJECT

public:
    // The value of a hall state that was never seen during the spin.
    static constexpr int UnseenState = 15;

    HallChecker(QObject* parent, Kelvara* runner);

    QString getStatusText() const { return statusText; }
    void setStatusText(QString text) { statusText = text; }
    QString getWarningText() const { return warningText; }
    void setWarningText(QString text) { warningText = text; }
    // Degrees, -180 <= offset < 180.
    double getHallOffSet() const { return hallOffset; }
    void setHallOffSet(double offset) { hallOffset = offset; }
    bool isHallFailure() const { return hallFailure; }
    void setHallFailure(bool failure) { hallFailure = failure; }

    // True unless exactly two states are unseen and the other six hold the
    // sectors 0 to 5 once each.
    bool hallSensorErrors() const;
    // The states 1 to 6 have pairwise different values (two unseen states
    // share 15).
    bool areHallsValid() const;
    QString describeHallError() const;
    // Moves one of two states that share a sector to a free neighbour
    // sector in the working table.
    void adjustHallValues();

private:
    int learntSector(int state) const;

    Kelvara* runner;
    bool hallFailure = false;
    double hallOffset = 0.0;
    QString warningText;
    QString statusText;
};

// The hall states 1 to 6 of the learnt table have pairwise different
// values (two unseen states share 15).
bool areHallsValid(Kelvara* runner);

#endif // HALLCHECKER_H
