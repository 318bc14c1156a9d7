#include "AboutUnt.h"

#include "Image.h"
#include "ui_AboutUnt.h"

TAboutFrm::TAboutFrm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , ui(std::make_unique<Ui::TAboutFrm>())
{
    ui->setupUi(this);
    setFixedSize(size());
    connect(ui->imgBack, &TImage::MouseDown, this, &TAboutFrm::imgBackMouseDown);
    connect(ui->imgBack, &TImage::Click, this, &TAboutFrm::imgBackClick);
    connect(ui->imgBack0, &TImage::Click, this, &TAboutFrm::imgBackClick);
    ui->imgBack->MakeButton(QStringLiteral("Back"), QStringLiteral("Closes the About window"),
                            {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::Key_Return),
                             QKeySequence(Qt::Key_Enter)});
}

TAboutFrm::~TAboutFrm() = default;

void TAboutFrm::showEvent(QShowEvent *event)
{
    // The toolkit's own placement allows for a window frame that this box does
    // not have; centre it exactly on the main window instead.
    if (QWidget *owner = parentWidget()) {
        const QRect area = owner->window()->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    QDialog::showEvent(event);
}

void TAboutFrm::imgBackMouseDown()
{
    ui->imgBack0->show();
    ui->imgBack0->raise();
}

void TAboutFrm::imgBackClick()
{
    ui->imgBack0->hide();
    QDialog::reject();
}

void TAboutFrm::reject()
{
    // Back is the box's one action: whatever closes it (a key the shortcuts do
    // not catch, the window manager) runs Back's handler.
    imgBackClick();
}
