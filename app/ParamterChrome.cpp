#include "ParamterFrm.h"

void TParamter::imgReadMouseDown() {}
void TParamter::imgSaveMouseDown() {}
void TParamter::imgBackMouseDown() {}
void TParamter::imgMinClick() {}
void TParamter::imgCloseClick() {}
void TParamter::imgAboutClick() {}
void TParamter::imgHelpClick() {}
void TParamter::img1MouseMove(QMouseEvent *) {}
void TParamter::tmrSysTimeTimer() {}
void TParamter::mousePressEvent(QMouseEvent *) {}
void TParamter::mouseMoveEvent(QMouseEvent *) {}
void TParamter::mouseReleaseEvent(QMouseEvent *) {}
void TParamter::closeEvent(QCloseEvent *) {}
