#include "Ui_TimeStretchWindow.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

QFrame* plainFrame(QWidget* parent, const char* name, QFrame::Shape shape, QFrame::Shadow shadow) {
  auto* frame = new QFrame(parent);
  frame->setObjectName(QString::fromLatin1(name));
  frame->setFrameShape(shape);
  frame->setFrameShadow(shadow);
  return frame;
}

void setMargins(QLayout* layout, int spacing, int left, int top, int right, int bottom) {
  layout->setSpacing(spacing);
  layout->setContentsMargins(left, top, right, bottom);
}

DvPushButton* zoomButton(QWidget* parent, const char* name, const char* icon) {
  auto* button = new DvPushButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFixedSize(24, 24);
  button->setFocusPolicy(Qt::NoFocus);
  button->setFlat(true);
  button->setIcon(QIcon(QString::fromLatin1(icon)));
  return button;
}

}  // namespace

void Ui_TimeStretchWindow::setupUi(QDialog* dialog) {
  dialog->setObjectName(QStringLiteral("TimeStretchWindow"));
  dialog->resize(666, 328);
  dialog->setMinimumSize(666, 328);
  QFont font;
  font.setFamily(QStringLiteral("Arial"));
  dialog->setFont(font);
  dialog->setWindowIcon(QIcon(QStringLiteral(":/img/icon36.png")));
  dialog->setSizeGripEnabled(true);

  mActionSelectAll = new QAction(dialog);
  mActionSelectAll->setObjectName(QStringLiteral("mActionSelectAll"));
  mActionUndo = new QAction(dialog);
  mActionUndo->setObjectName(QStringLiteral("mActionUndo"));
  mActionRedo = new QAction(dialog);
  mActionRedo->setObjectName(QStringLiteral("mActionRedo"));

  auto* verticalLayout_2 = new QVBoxLayout(dialog);
  verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
  verticalLayout_2->setSpacing(6);

  mTopFrame = plainFrame(dialog, "mTopFrame", QFrame::StyledPanel, QFrame::Plain);
  mTopFrame->setMinimumHeight(46);
  auto* gridLayout_2 = new QGridLayout(mTopFrame);
  gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
  setMargins(gridLayout_2, 4, 4, 0, 4, 0);

  horizontalFrame = plainFrame(mTopFrame, "horizontalFrame", QFrame::NoFrame, QFrame::Plain);
  horizontalFrame->setFixedHeight(40);
  QFont big = horizontalFrame->font();
  big.setPointSize(14);
  horizontalFrame->setFont(big);
  auto* mProjectParameterFrame = new QHBoxLayout(horizontalFrame);
  mProjectParameterFrame->setObjectName(QStringLiteral("mProjectParameterFrame"));
  setMargins(mProjectParameterFrame, 4, 5, 2, 4, 2);
  mPushButtonPlay = new DvPushButton(horizontalFrame);
  mPushButtonPlay->setObjectName(QStringLiteral("mPushButtonPlay"));
  mPushButtonPlay->setFixedSize(105, 30);
  mPushButtonPlay->setFocusPolicy(Qt::NoFocus);
  mPushButtonPlay->setIcon(QIcon(QStringLiteral(":/img/btn_play.png")));
  mProjectParameterFrame->addWidget(mPushButtonPlay);
  mSliderMetro = new QSlider(Qt::Horizontal, horizontalFrame);
  mSliderMetro->setObjectName(QStringLiteral("mSliderMetro"));
  mSliderMetro->setRange(0, 100);
  mSliderMetro->setValue(100);
  mSliderMetro->setFixedHeight(28);
  mSliderMetro->setFocusPolicy(Qt::NoFocus);
  mProjectParameterFrame->addWidget(mSliderMetro);
  mProjectParameterFrame->addItem(new QSpacerItem(10, 10, QSizePolicy::Expanding, QSizePolicy::Minimum));
  dummyWidget = new QWidget(horizontalFrame);
  dummyWidget->setObjectName(QStringLiteral("dummyWidget"));
  dummyWidget->setMinimumSize(140, 36);
  mProjectParameterFrame->addWidget(dummyWidget);
  gridLayout_2->addWidget(horizontalFrame, 0, 0);

  horizontalFrame_2 = plainFrame(mTopFrame, "horizontalFrame_2", QFrame::NoFrame, QFrame::Raised);
  horizontalFrame_2->setFixedSize(204, 40);
  auto* mBeatFrameClick = new QHBoxLayout(horizontalFrame_2);
  mBeatFrameClick->setObjectName(QStringLiteral("mBeatFrameClick"));
  setMargins(mBeatFrameClick, 4, 4, 2, 4, 2);
  mChkClick = new DvCheckBox(horizontalFrame_2);
  mChkClick->setObjectName(QStringLiteral("mChkClick"));
  mChkClick->setFixedWidth(74);
  mChkClick->setFocusPolicy(Qt::NoFocus);
  mChkClick->setChecked(true);
  mBeatFrameClick->addWidget(mChkClick);
  gridLayout_2->addWidget(horizontalFrame_2, 0, 1);
  verticalLayout_2->addWidget(mTopFrame);

  mMiddleVerticalLayoutMiddle = plainFrame(dialog, "mMiddleVerticalLayoutMiddle", QFrame::StyledPanel, QFrame::Plain);
  auto* mVerticalLayoutMiddle = new QVBoxLayout(mMiddleVerticalLayoutMiddle);
  mVerticalLayoutMiddle->setObjectName(QStringLiteral("mVerticalLayoutMiddle"));
  setMargins(mVerticalLayoutMiddle, 1, 6, 6, 6, 1);
  mFrameWavBase = plainFrame(mMiddleVerticalLayoutMiddle, "mFrameWavBase", QFrame::Panel, QFrame::Sunken);
  mFrameWavBase->setMinimumSize(630, 195);
  auto* verticalLayout = new QVBoxLayout(mFrameWavBase);
  verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
  setMargins(verticalLayout, 0, 0, 0, 0, 0);
  mFrameWav = new DvFrame(mFrameWavBase);
  mFrameWav->setObjectName(QStringLiteral("mFrameWav"));
  mFrameWav->setMinimumSize(630, 193);
  QFont small = mFrameWav->font();
  small.setPointSize(9);
  mFrameWav->setFont(small);
  mFrameWav->setCursor(Qt::ArrowCursor);
  mFrameWav->setMouseTracking(true);
  mFrameWav->setAutoFillBackground(false);
  verticalLayout->addWidget(mFrameWav);
  mVerticalLayoutMiddle->addWidget(mFrameWavBase);

  mScrollFrame = plainFrame(mMiddleVerticalLayoutMiddle, "mScrollFrame", QFrame::NoFrame, QFrame::Raised);
  auto* horizontalLayout_7 = new QHBoxLayout(mScrollFrame);
  horizontalLayout_7->setObjectName(QStringLiteral("horizontalLayout_7"));
  setMargins(horizontalLayout_7, 10, 0, 0, 8, 0);
  mScrollBar = new QScrollBar(Qt::Horizontal, mScrollFrame);
  mScrollBar->setObjectName(QStringLiteral("mScrollBar"));
  mScrollBar->setMinimumHeight(17);
  horizontalLayout_7->addWidget(mScrollBar);
  mZoomFrame = plainFrame(mScrollFrame, "mZoomFrame", QFrame::NoFrame, QFrame::Raised);
  auto* horizontalLayout_9 = new QHBoxLayout(mZoomFrame);
  horizontalLayout_9->setObjectName(QStringLiteral("horizontalLayout_9"));
  setMargins(horizontalLayout_9, 4, 1, 1, 1, 1);
  mBtnHorZoomIn = zoomButton(mZoomFrame, "mBtnHorZoomIn", ":/newPrefix/img/btn_zoom_in_off.png");
  mBtnHorZoomOut = zoomButton(mZoomFrame, "mBtnHorZoomOut", ":/newPrefix/img/btn_zoom_out_off.png");
  horizontalLayout_9->addWidget(mBtnHorZoomIn);
  horizontalLayout_9->addWidget(mBtnHorZoomOut);
  horizontalLayout_7->addWidget(mZoomFrame);
  mVerticalLayoutMiddle->addWidget(mScrollFrame);
  verticalLayout_2->addWidget(mMiddleVerticalLayoutMiddle);

  mBottomFrame = plainFrame(dialog, "mBottomFrame", QFrame::NoFrame, QFrame::Plain);
  mBottomFrame->setLineWidth(0);
  mBottomFrame->setMinimumHeight(23);
  auto* verticalLayout_3 = new QVBoxLayout(mBottomFrame);
  verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
  setMargins(verticalLayout_3, 0, 0, 0, 0, 0);
  verticalLayout_2->addWidget(mBottomFrame);

  retranslateUi(dialog);
}

void Ui_TimeStretchWindow::retranslateUi(QDialog* dialog) {
  const char* context = "TimeStretchWindow";
  dialog->setWindowTitle(QCoreApplication::translate(context, "wave viewer"));
  mActionSelectAll->setText(QCoreApplication::translate(context, "SelectAll"));
  mActionSelectAll->setShortcut(QKeySequence(QStringLiteral("Ctrl+A")));
  mActionUndo->setText(QCoreApplication::translate(context, "Undo"));
  mActionUndo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
  mActionRedo->setText(QCoreApplication::translate(context, "Redo"));
  mActionRedo->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Y));
  mChkClick->setText(QCoreApplication::translate(context, "Click"));
}
