#pragma once

#include "discovery/Diagnosis.h"

#include <QObject>
#include <QString>
#include <vector>

class Lang;
class QLabel;
class QTreeWidget;

// What a search's findings tell the user, in the window's words, or nothing when they call for
// no advice: the first finding the window has words for when the list is empty, else only
// answers blocked everywhere while announcements got through (the list then shows what
// announced itself, not all there is).
QString AdviceText(const std::vector<Finding>& findings, bool listEmpty, const Lang& texts);

// The advice under the list's rows, inside the list's area: a label that a screen reader reads,
// repeated as the list's description. It never covers a row and goes when a search starts.
class ListAdvice : public QObject {
    Q_OBJECT
public:
    explicit ListAdvice(QTreeWidget* list);

    void Show(std::vector<Finding> findings, const Lang& texts);
    void Clear();
    // The advice shown again in the language loaded now.
    void Retranslate(const Lang& texts);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();

    QTreeWidget* list;
    QLabel* label;
    std::vector<Finding> shown;
};
