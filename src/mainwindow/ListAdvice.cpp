#include "mainwindow/ListAdvice.h"

#include "language/Language.h"

#include <QEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QTreeWidget>

// What the window said after each search, for a terminal and the tests in a real X server.
Q_LOGGING_CATEGORY(lcAdvice, "pathmere.advice", QtInfoMsg)

namespace {

constexpr int kMargin = 8;
// Below this, the rows leave no room worth reading in: the list's description still says it.
constexpr int kLeastHeight = 40;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString NoAnswerText(const Finding& finding, const Lang& texts) {
    QString text = texts.stAdviceNoAnswer.arg(Text(finding.address), Text(finding.network));
    if (finding.firewall != LocalFirewall::Unknown) {
        text += QLatin1Char(' ') +
                texts.stAdviceFirewallFound.arg(QLatin1String(FirewallName(finding.firewall)));
    }
    return text;
}

QString ForeignText(const Finding& finding, const Lang& texts) {
    QStringList named;
    for (const auto& device : finding.devices) {
        named << QStringLiteral("%1 (%2, %3)")
                     .arg(Text(device.address), Text(device.manufacturer), Text(device.modelName));
    }
    if (static_cast<std::size_t>(finding.deviceCount) > finding.devices.size()) {
        named << QStringLiteral("…");
    }
    return texts.stAdviceForeignOnly.arg(named.join(QStringLiteral("; ")));
}

// The window's words for a finding; empty for those it leaves to pathmere-scan.
QString FindingText(const Finding& finding, const Lang& texts) {
    switch (finding.kind) {
    case FindingKind::NotConnected:
        return texts.stAdviceNotConnected;
    case FindingKind::OtherNetwork:
        return texts.stAdviceOtherNetwork.arg(Text(finding.address), Text(finding.network));
    case FindingKind::NoAnswer:
        return NoAnswerText(finding, texts);
    case FindingKind::DescriptionUnreadable:
    case FindingKind::DescriptionRefused:
        return texts.stAdviceUnreadable.arg(Text(finding.address), Text(finding.reason));
    case FindingKind::ForeignDevicesOnly:
        return ForeignText(finding, texts);
    case FindingKind::OtherAddress:
        break;
    }
    return {};
}

} // namespace

QString AdviceText(const std::vector<Finding>& findings, bool listEmpty, const Lang& texts) {
    for (const auto& finding : findings) {
        // Rows from announcements alone, while no address was answered: others may be missing.
        const bool blockedBesideAnnouncements = finding.kind == FindingKind::NoAnswer &&
                                                finding.announcements > 0 &&
                                                !finding.anotherAnswered;
        if (!listEmpty && !blockedBesideAnnouncements) {
            continue;
        }
        QString text = FindingText(finding, texts);
        if (!text.isEmpty()) {
            return text;
        }
    }
    return {};
}

ListAdvice::ListAdvice(QTreeWidget* list_)
    : QObject(list_), list(list_), label(new QLabel(list_->viewport())) {
    label->setObjectName(QStringLiteral("lblAdvice"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, list->palette().color(QPalette::Text));
    label->setPalette(palette);
    label->hide();
    list->viewport()->installEventFilter(this);
}

void ListAdvice::Show(std::vector<Finding> findings, const Lang& texts) {
    shown = std::move(findings);
    Retranslate(texts);
    qCDebug(lcAdvice).noquote() << "advice:"
                                << (label->text().isEmpty() ? QStringLiteral("none")
                                                            : label->text());
}

void ListAdvice::Clear() {
    shown.clear();
    label->clear();
    label->hide();
    list->setAccessibleDescription(QString());
}

void ListAdvice::Retranslate(const Lang& texts) {
    const QString text = AdviceText(shown, list->topLevelItemCount() == 0, texts);
    label->setText(text);
    list->setAccessibleDescription(text);
    Place();
}

bool ListAdvice::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list->viewport() && event->type() == QEvent::Resize) {
        Place();
    }
    return QObject::eventFilter(watched, event);
}

// Under the last row, as wide as the list; hidden when there is nothing to say or no room.
void ListAdvice::Place() {
    const QRect area = list->viewport()->rect();
    int top = area.top();
    if (const int rows = list->topLevelItemCount(); rows > 0) {
        top = list->visualItemRect(list->topLevelItem(rows - 1)).bottom() + 1;
    }
    const QRect room(area.left() + kMargin, top + kMargin, area.width() - 2 * kMargin,
                     area.bottom() - top - 2 * kMargin);
    label->setGeometry(room);
    label->setVisible(!label->text().isEmpty() && room.height() >= kLeastHeight);
}
