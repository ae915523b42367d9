#pragma once

#include <QDialog>

// The about box: fixed texts only. Modeless, without an owner, deleted when closed; the main
// window creates a fresh one the next time it is asked for.
class Dialog : public QDialog {
    Q_OBJECT
public:
    explicit Dialog(QWidget* parent = nullptr);
};
