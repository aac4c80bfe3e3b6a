#ifndef WHEELGUARD_H
#define WHEELGUARD_H

#include <QObject>

// Keeps the mouse wheel from changing a spin box or drop-down that the user
// has not clicked into: until the box has focus, the wheel scrolls what
// holds it. Once installed it watches every widget of the application, so
// the pages, the dialogs and the rows made later are all guarded alike.
class WheelGuard : public QObject
{
    Q_OBJECT

public:
    // Installs the application's one guard; later calls change nothing.
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WheelGuard(QObject* parent);
    static bool isGuarded(const QObject* object);
};

#endif // WHEELGUARD_H
