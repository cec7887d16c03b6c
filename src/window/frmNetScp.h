#pragma once

#include <QMainWindow>

class frmNetScp : public QMainWindow {
    Q_OBJECT
public:
    explicit frmNetScp(QWidget* parent = nullptr);
};
