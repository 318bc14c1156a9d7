#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class TAboutFrm; }

// The About box: the program's name and version on its own background, and a
// Back button, its one action, which closes it; Escape and Enter press Back.
class TAboutFrm : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutFrm(QWidget *parent = nullptr);
    ~TAboutFrm() override;

    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void imgBackMouseDown();
    void imgBackClick();

    std::unique_ptr<Ui::TAboutFrm> ui;
};
