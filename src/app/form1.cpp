#include "app/form1.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <cstdlib>

#include "about/about_module.h"
#include "about/form2.h"

namespace vintrel {

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int left, int top,
                        int width, int height) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(Px(left), Px(top), Px(width), Px(height));
  button->setFocusPolicy(Qt::StrongFocus);
  button->setAutoDefault(false);
  return button;
}

QLabel* MakeTimeLabel(QWidget* parent, const char* name, int left, int top, const QColor& background) {
  auto* label = new QLabel("hh:mm:ss", parent);
  label->setObjectName(name);
  label->setGeometry(Px(left), Px(top), Px(855), Px(180));
  label->setAlignment(Qt::AlignCenter);
  Paint(label, background);
  QFont font = label->font();
  font.setPointSizeF(8.25);
  label->setFont(font);
  return label;
}

// What a window does with a system command nobody else handled.
intptr_t DefaultWindowProcedure(QWidget* window, uint32_t uMsg, intptr_t wParam) {
  if (uMsg == About::WM_SYSCOMMAND && wParam == About::SC_CLOSE) window->close();
  return 0;
}

}  // namespace

Form1::Form1(Platform& platform, QWidget* parent) : QWidget(parent), sys(platform), Cdlg(platform.dialog) {
  Form_Initialize();
  CreateControls();
  ConnectHandlers();
  WndProcedure = [this](WId, uint32_t uMsg, intptr_t wParam, intptr_t) {
    return DefaultWindowProcedure(this, uMsg, wParam);
  };
}

Form1::~Form1() = default;

void Form1::Form_Initialize() {
  CurrentFile = "";
  SelEnd = 0;
  SelStart = 0;
  MarkerScale = 0;
  IsPlaying = false;
}

void Form1::CreateControls() {
  SetUpFixedWindow(this, "Form1", "Vintrel", 7455, 5550);
  const QColor systemWindow = QPalette().color(QPalette::Base);

  mpArea = new VideoArea(this);
  mpArea->setObjectName("mp");
  mpArea->setGeometry(Px(30), Px(45), Px(6060), Px(4320));

  H = new Slider(this);
  H->setObjectName("H");
  H->setGeometry(Px(15), Px(4365), Px(6075), Px(375));
  H->setRange(0, 10);
  H->setSingleStep(1);
  H->setPageStep(5);
  H->setValue(0);

  Label4 = MakeTimeLabel(this, "Label4", 6345, 210, Qt::white);
  Command1 = MakeButton(this, "Command1", "Play", 6255, 450, 1005, 330);
  Command2 = MakeButton(this, "Command2", "Stop", 6255, 915, 1005, 330);
  Command4 = MakeButton(this, "Command4", "Open", 6255, 1380, 1005, 330);
  Label7 = MakeTimeLabel(this, "Label7", 6345, 1980, systemWindow);
  Command5 = MakeButton(this, "Command5", "Mark Start", 6240, 2220, 1035, 330);
  Label9 = MakeTimeLabel(this, "Label9", 6345, 2760, systemWindow);
  Command6 = MakeButton(this, "Command6", "Mark End", 6270, 3000, 1005, 330);
  Command8 = MakeButton(this, "Command8", "Help", 6270, 4005, 1005, 330);
  Label3 = MakeTimeLabel(this, "Label3", 390, 4785, systemWindow);
  Command9 = MakeButton(this, "Command9", "Play Selected", 105, 5025, 1530, 330);
  Command7 = MakeButton(this, "Command7", "Save", 1725, 5025, 1005, 330);
  Command3 = MakeButton(this, "Command3", "Website", 2820, 5025, 1185, 330);

  pb = new QProgressBar(this);
  pb->setObjectName("pb");
  pb->setGeometry(Px(4080), Px(5025), Px(3285), Px(345));
  pb->setRange(0, 100);
  pb->setValue(0);
  pb->setTextVisible(false);

  Line1 = std::make_unique<MarkLine>(this, H, 240.0f, 170.0f);
  Line2 = std::make_unique<MarkLine>(this, H, 9375.0f, 330.0f);

  T = new QTimer(this);
  T->setObjectName("T");
  T->setInterval(1000);
  T->stop();

  // Keyboard focus order; the slider holds the focus when the window opens.
  QWidget* order[] = {H, Command1, Command2, Command4, Command7, Command3, Command9, Command6, Command5, mpArea, Command8};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  H->setFocus();

  mp = sys.makePlayer(mpArea);
}

void Form1::ConnectHandlers() {
  // Every handler has its own trap or none; Untrapped keeps anything left over out of Qt's loop.
  auto on = [this](QPushButton* button, void (Form1::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { Untrapped([&] { (this->*handler)(); }); });
  };
  on(Command1, &Form1::Command1_Click);
  on(Command2, &Form1::Command2_Click);
  on(Command3, &Form1::Command3_Click);
  on(Command4, &Form1::Command4_Click);
  on(Command5, &Form1::Command5_Click);
  on(Command6, &Form1::Command6_Click);
  on(Command7, &Form1::Command7_Click);
  on(Command8, &Form1::Command8_Click);
  on(Command9, &Form1::Command9_Click);
  connect(T, &QTimer::timeout, this, [this] { Untrapped([&] { T_Timer(); }); });
  connect(H, &Slider::MouseDown, this, [this] { Untrapped([&] { H_MouseDown(); }); });
  connect(H, &Slider::MouseUp, this, [this] { Untrapped([&] { H_MouseUp(); }); });
  connect(H, &Slider::Click, this, [this] { Untrapped([&] { H_Click(); }); });
}

void Form1::Form_Load() {
  // The system menu's "About..." lives in the context menu (contextMenuEvent).
  try {
    show();
  } catch (const std::exception&) {
  }
  try {
    About::PrevWndProc = std::exchange(WndProcedure, WndProc(&About::WindowProc));
  } catch (const std::exception&) {
  }
  try {
    const QString path = sys.files.AppPath() + "/thanks.txt";
    About::Load(*this).RichTextBox1->LoadFile(path);
  } catch (const std::exception&) {
    sys.msg.MsgBox("Please re-install Vintrel", vbInformation);
    exitCode_ = 1;  // a failed start, for whoever started us
    Form_Unload();
  }
}

void Form1::Form_Unload() {
  mp_myclose();
  if (About::PrevWndProc) WndProcedure = std::exchange(About::PrevWndProc, nullptr);
  About::Unload();
  sys.app.End(exitCode_);
}

void Form1::mp_myclose() {
  if (CurrentFile == "") return;
  IsPlaying = false;
  mp->Stop();
  CurrentFile = "";
}

void Form1::DefaultErrorHandling(const std::exception& error) {
  const auto* vb = dynamic_cast<const VbError*>(&error);
  const QString text = vb ? QString("Run-time error '%1':\n\n%2").arg(vb->number()).arg(QString::fromUtf8(error.what()))
                          : QString("Run-time error:\n\n%1").arg(QString::fromUtf8(error.what()));
  try {
    sys.msg.MsgBox(text, vbCritical);
  } catch (const std::exception&) {
  }
  sys.app.End(1);
  std::abort();  // End never returns
}

void Form1::SystemCommand(intptr_t wParam) {
  Untrapped([&] { WndProcedure(winId(), About::WM_SYSCOMMAND, wParam, 0); });
}

void Form1::closeEvent(QCloseEvent* event) {
  event->accept();
  Untrapped([&] { Form_Unload(); });
}

void Form1::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addSeparator();
  QAction* about = menu.addAction("About...");
  if (menu.exec(event->globalPos()) == about) SystemCommand(About::IDM_ABOUT);
}

}  // namespace vintrel
