#include "platform/saved_box.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vintrel {

SavedBox::SavedBox(const QString& text, const QString& summary, const QString& report, QWidget* parent)
    : QDialog(parent) {
  setObjectName("savedBox");
  setWindowTitle("Vintrel");
  setSizeGripEnabled(true);
  auto* icon = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this).pixmap(side, side));
  auto* textLabel = new QLabel(text, this);
  textLabel->setObjectName("savedText");
  summaryLabel = new QLabel(summary, this);
  summaryLabel->setObjectName("savedSummary");
  summaryLabel->setWordWrap(false);
  summaryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  detailsPane = new QPlainTextEdit(report, this);
  detailsPane->setObjectName("detailsPane");
  detailsPane->setReadOnly(true);
  detailsPane->setLineWrapMode(QPlainTextEdit::NoWrap);
  // Room for a report's usual length; the box grows it further.
  detailsPane->setMinimumHeight(fontMetrics().lineSpacing() * 12);
  detailsPane->hide();

  auto* buttons = new QDialogButtonBox(this);
  okButton = buttons->addButton(QDialogButtonBox::Ok);
  folderButton = buttons->addButton("Show in Folder", QDialogButtonBox::ActionRole);
  detailsButton = buttons->addButton("Show Details...", QDialogButtonBox::ActionRole);
  detailsButton->setVisible(!report.isEmpty());
  okButton->setDefault(true);
  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(folderButton, &QPushButton::clicked, this, [this] {
    folderChosen_ = true;
    accept();
  });
  connect(detailsButton, &QPushButton::clicked, this, [this] { showDetails(detailsPane->isHidden()); });

  auto* texts = new QVBoxLayout;
  texts->addWidget(textLabel);
  texts->addWidget(summaryLabel);
  texts->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addWidget(detailsPane, 1);
  all->addWidget(buttons);
  okButton->setFocus();
}

void SavedBox::showDetails(bool shown) {
  detailsPane->setVisible(shown);
  detailsButton->setText(shown ? "Hide Details..." : "Show Details...");
  // Closing the pane gives its room back.
  if (!shown) resize(width(), minimumSizeHint().height());
}

}  // namespace vintrel
