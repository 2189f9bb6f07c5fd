#pragma once

#include "PawletKit/ApprovalRequest.hpp"
#include "app-core/ApprovalPopover.hpp"
#include "app-core/ApprovalPopoverPresenter.hpp"
#include "app-core/SummaryLine.hpp"

#include <QFrame>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTextDocument;
class QVBoxLayout;

namespace Pupnik {

// The approval popover on the desktop: a popup window anchored to the pet that shows the pending
// requests, the selected one's summary with its diff coloured, and the allow, deny and terminal
// buttons. It closes when the user clicks elsewhere. Its buttons and keys go to the popover's state
// (Escape closes; Return answers nothing, so a stray key press never allows), which it holds weakly. Main thread only.
class ApprovalPopoverController final : public QFrame, public PupnikCore::ApprovalPopoverPresenter {
public:
    static constexpr int popoverWidth = 460;
    static constexpr int minimumHeight = 160;
    // The popover's width less its side insets.
    static constexpr int contentWidth = 432;
    static constexpr int minimumSummaryHeight = 72;
    static constexpr int maximumSummaryHeight = 260;
    // Between the anchor and the popup.
    static constexpr int anchorGap = 6;

    // Attaches itself to the popover as its window and wires the four callbacks to it.
    explicit ApprovalPopoverController(std::shared_ptr<PupnikCore::ApprovalPopover> const& popover);
    ~ApprovalPopoverController() override;

    // Called by the list rows and the buttons; set to the popover's operations at construction.
    std::function<void(std::string const& id)> onSelect;
    std::function<void()> onAllow;
    std::function<void()> onDeny;
    std::function<void()> onOpenTerminal;

    // What the popover opens over (the pet's view); the middle of the pointer's screen while there is none.
    void setAnchor(QWidget* anchor) { m_anchor = anchor; }
    // Called before the anchor's place is read.
    std::function<void()> beforePlacing;

    bool isShown() const override;
    void render(std::vector<PawletKit::ApprovalRequest> const& requests, std::optional<std::string> const& selectedID) override;
    void present() override;
    void focusDeny() override;
    void dismiss() override;
    // Labels the buttons in the current language.
    void relocalize();

    // The summary as the text view shows it: monospaced, one colour per line by its diff role. The
    // document lays out as plain text.
    std::unique_ptr<QTextDocument> attributedSummary(std::string const& summary);
    // The colour of a summary line's role on this palette.
    static QColor toneColour(PupnikCore::SummaryLine::Tone tone, QPalette const& palette);

    // The views are built when first rendered or asked for.
    QWidget* listBox() { return built().m_listBox; }
    QLabel* toolLabel() { return built().m_toolLabel; }
    QLabel* targetLabel() { return built().m_targetLabel; }
    QPlainTextEdit* textView() { return built().m_textView; }
    QLabel* truncationLabel() { return built().m_truncationLabel; }
    QPushButton* allowButton() { return built().m_allowButton; }
    QPushButton* denyButton() { return built().m_denyButton; }
    QPushButton* terminalButton() { return built().m_terminalButton; }
    // The list's heading label followed by one button per request.
    QList<QWidget*> listRows() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildViews();
    ApprovalPopoverController& built()
    {
        buildViews();
        return *this;
    }
    void rebuildList(std::vector<PawletKit::ApprovalRequest> const& requests, PawletKit::ApprovalRequest const* shown);
    void fitSummaryHeight();
    void place();

    std::weak_ptr<PupnikCore::ApprovalPopover> m_popover;
    QPointer<QWidget> m_anchor;

    QWidget* m_listBox { nullptr };
    QVBoxLayout* m_listStack { nullptr };
    QLabel* m_toolLabel { nullptr };
    QLabel* m_targetLabel { nullptr };
    QPlainTextEdit* m_textView { nullptr };
    QLabel* m_truncationLabel { nullptr };
    QPushButton* m_denyButton { nullptr };
    QPushButton* m_terminalButton { nullptr };
    QPushButton* m_allowButton { nullptr };
};

}
