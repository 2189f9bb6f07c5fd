#include "Pupnik/ApprovalPopoverController.hpp"

#include "Pupnik/PopoverPlacement.hpp"
#include "app-core/ApprovalSummary.hpp"
#include "app-core/ApprovalTexts.hpp"
#include "app-core/Localized.hpp"

#include <QApplication>
#include <QCursor>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace Pupnik {

using PawletKit::ApprovalDecision;
using PawletKit::ApprovalRequest;
using PupnikCore::SummaryLine;

namespace {

QString text(std::string const& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QString localized(char const* key) { return text(PupnikCore::localized(key)); }

QFont systemFont(int pixelSize, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont summaryFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(11);
    font.setWeight(QFont::Normal);
    return font;
}

QColor mixed(QColor const& a, QColor const& b, double weightOfA)
{
    auto channel = [&](int x, int y) { return static_cast<int>(x * weightOfA + y * (1 - weightOfA) + 0.5); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}

bool isDark(QColor const& background) { return background.lightness() < 128; }

// Dimmed text for headings and the target line, opaque so it stays crisp without compositing.
QColor secondaryLabelColour(QPalette const& palette) { return mixed(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.55); }

QColor warningColour(QPalette const& palette) { return isDark(palette.color(QPalette::Window)) ? QColor(0xf0, 0x88, 0x3e) : QColor(0xbc, 0x4c, 0x00); }

QLabel* makeLabel(QFont const& font, std::optional<QColor> colour = std::nullopt)
{
    auto* label = new QLabel;
    // Tool names, targets and paths come from the coding agent: never read them as markup.
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    if (colour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, *colour);
        label->setPalette(palette);
    }
    return label;
}

QPushButton* makeButton()
{
    auto* button = new QPushButton;
    // No button is pressed by Return, whichever has the focus.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QString elided(QFont const& font, std::string const& value, Qt::TextElideMode mode, int width)
{
    return QFontMetrics(font).elidedText(text(value), mode, width);
}

}

ApprovalPopoverController::ApprovalPopoverController(std::shared_ptr<PupnikCore::ApprovalPopover> const& popover)
    : QFrame(nullptr, Qt::Popup | Qt::FramelessWindowHint)
    , m_popover(popover)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
    setAutoFillBackground(true);
    setFixedSize(popoverWidth, minimumHeight);

    std::weak_ptr<PupnikCore::ApprovalPopover> weak = popover;
    onSelect = [weak](std::string const& id) {
        if (auto popover = weak.lock())
            popover->select(id);
    };
    onAllow = [weak] {
        if (auto popover = weak.lock())
            popover->decide(ApprovalDecision::allow);
    };
    onDeny = [weak] {
        if (auto popover = weak.lock())
            popover->decide(ApprovalDecision::deny);
    };
    onOpenTerminal = [weak] {
        if (auto popover = weak.lock())
            popover->openTerminal();
    };
    if (popover)
        popover->attach(this);
}

ApprovalPopoverController::~ApprovalPopoverController()
{
    if (auto popover = m_popover.lock(); popover && popover->presenter() == this)
        popover->attach(nullptr);
}

void ApprovalPopoverController::buildViews()
{
    // Most runs never see a request: the views are built, in the language of the moment, when the
    // first one is shown.
    if (m_listBox)
        return;
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(14, 12, 14, 12);
    main->setSpacing(6);

    m_listBox = new QWidget;
    m_listStack = new QVBoxLayout(m_listBox);
    m_listStack->setContentsMargins(0, 0, 0, 0);
    m_listStack->setSpacing(2);
    m_listBox->setFixedWidth(contentWidth);
    m_listBox->hide();

    m_toolLabel = makeLabel(systemFont(13, QFont::DemiBold));
    m_toolLabel->setMaximumWidth(contentWidth);
    m_targetLabel = makeLabel(systemFont(11, QFont::Normal), secondaryLabelColour(palette()));
    m_targetLabel->setMaximumWidth(contentWidth);

    m_textView = new QPlainTextEdit;
    m_textView->setReadOnly(true);
    m_textView->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_textView->setWordWrapMode(QTextOption::NoWrap);
    m_textView->setFont(summaryFont());
    m_textView->setFrameShape(QFrame::Box);
    m_textView->setFrameShadow(QFrame::Plain);
    m_textView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_textView->setFixedWidth(contentWidth);
    m_textView->setFixedHeight(minimumSummaryHeight);
    {
        QPalette palette = m_textView->palette();
        palette.setColor(QPalette::WindowText, mixed(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.3));
        m_textView->setPalette(palette);
    }

    m_truncationLabel = makeLabel(systemFont(11, QFont::Medium), warningColour(palette()));
    m_truncationLabel->hide();

    m_denyButton = makeButton();
    m_terminalButton = makeButton();
    m_allowButton = makeButton();
    relocalize();
    connect(m_denyButton, &QPushButton::clicked, this, [this] {
        if (onDeny)
            onDeny();
    });
    connect(m_terminalButton, &QPushButton::clicked, this, [this] {
        if (onOpenTerminal)
            onOpenTerminal();
    });
    connect(m_allowButton, &QPushButton::clicked, this, [this] {
        if (onAllow)
            onAllow();
    });
    auto* buttonRow = new QWidget;
    auto* buttons = new QHBoxLayout(buttonRow);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(8);
    // Deny stands alone at the leading edge, away from allow.
    buttons->addWidget(m_denyButton);
    buttons->addStretch(1);
    buttons->addWidget(m_terminalButton);
    buttons->addWidget(m_allowButton);
    buttonRow->setFixedWidth(contentWidth);

    main->addWidget(m_listBox, 0, Qt::AlignLeft);
    main->addWidget(m_toolLabel, 0, Qt::AlignLeft);
    main->addWidget(m_targetLabel, 0, Qt::AlignLeft);
    main->addWidget(m_textView, 0, Qt::AlignLeft);
    main->addWidget(m_truncationLabel, 0, Qt::AlignLeft);
    main->addWidget(buttonRow, 0, Qt::AlignLeft);
    setFixedSize(popoverWidth, minimumHeight);
}

void ApprovalPopoverController::relocalize()
{
    // Views not built yet take the language of the moment when they are.
    if (!m_denyButton)
        return;
    m_denyButton->setText(localized("approval.deny"));
    m_terminalButton->setText(localized("approval.terminal"));
    m_allowButton->setText(localized("approval.allow"));
}

QColor ApprovalPopoverController::toneColour(SummaryLine::Tone tone, QPalette const& palette)
{
    QColor const textColour = palette.color(QPalette::Text);
    bool const dark = isDark(palette.color(QPalette::Base));
    switch (tone) {
    case SummaryLine::Tone::secondary:
        return mixed(textColour, palette.color(QPalette::Base), 0.55);
    case SummaryLine::Tone::added:
        return dark ? QColor(0x3f, 0xb9, 0x50) : QColor(0x1a, 0x7f, 0x37);
    case SummaryLine::Tone::removed:
        return dark ? QColor(0xf8, 0x51, 0x49) : QColor(0xcf, 0x22, 0x2e);
    case SummaryLine::Tone::plain:
        break;
    }
    return textColour;
}

std::unique_ptr<QTextDocument> ApprovalPopoverController::attributedSummary(std::string const& summary)
{
    buildViews();
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    QFont const font = summaryFont();
    document->setDefaultFont(font);
    document->setDocumentMargin(4);
    QTextCursor cursor(document.get());
    bool first = true;
    for (auto const& line : PupnikCore::ApprovalSummary::lines(summary)) {
        QTextCharFormat format;
        format.setFont(font);
        format.setForeground(toneColour(line.tone, m_textView->palette()));
        if (!first)
            cursor.insertBlock(QTextBlockFormat(), format);
        cursor.setCharFormat(format);
        cursor.insertText(text(line.text), format);
        first = false;
    }
    return document;
}

QList<QWidget*> ApprovalPopoverController::listRows() const
{
    QList<QWidget*> rows;
    for (int i = 0; m_listStack && i < m_listStack->count(); ++i) {
        if (auto* widget = m_listStack->itemAt(i)->widget())
            rows.append(widget);
    }
    return rows;
}

void ApprovalPopoverController::rebuildList(std::vector<ApprovalRequest> const& requests, ApprovalRequest const* shown)
{
    while (auto* item = m_listStack->takeAt(0)) {
        if (auto* widget = item->widget()) {
            // A row may be rebuilt from inside its own click.
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    if (requests.size() < 2)
        return;
    auto* heading = makeLabel(systemFont(11, QFont::DemiBold), secondaryLabelColour(palette()));
    heading->setText(text(PupnikCore::ApprovalTexts::heading(requests.size())));
    m_listStack->addWidget(heading, 0, Qt::AlignLeft);
    for (auto const& request : requests) {
        bool const current = &request == shown;
        QFont const font = systemFont(12, current ? QFont::DemiBold : QFont::Normal);
        QColor const colour = current ? palette().color(QPalette::Highlight) : palette().color(QPalette::WindowText);
        auto* row = new QPushButton;
        row->setFlat(true);
        row->setAutoDefault(false);
        row->setFont(font);
        row->setStyleSheet(QStringLiteral("QPushButton { text-align: left; border: none; padding: 1px 2px; color: %1; }").arg(colour.name()));
        // "&" would otherwise turn the next letter into a shortcut and vanish.
        row->setText(elided(font, PupnikCore::ApprovalTexts::rowTitle(request, current), Qt::ElideRight, contentWidth - 8).replace('&', QStringLiteral("&&")));
        row->setProperty("requestId", text(request.id));
        connect(row, &QPushButton::clicked, this, [this, id = request.id] {
            if (onSelect)
                onSelect(id);
        });
        m_listStack->addWidget(row, 0, Qt::AlignLeft);
    }
}

void ApprovalPopoverController::fitSummaryHeight()
{
    // The summary area grows with the text between its bounds, then scrolls.
    QFontMetricsF const metrics(summaryFont());
    double const lineHeight = std::ceil(metrics.height());
    QTextDocument const* const document = m_textView->document();
    int const lines = document->blockCount();
    double widest = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        widest = std::max(widest, metrics.horizontalAdvance(block.text()));
    int const chrome = 2 * m_textView->frameWidth() + 2 * static_cast<int>(std::ceil(document->documentMargin()));
    int height = static_cast<int>(std::ceil(lines * lineHeight)) + chrome + 2;
    if (widest + chrome > contentWidth)
        height += m_textView->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_textView->horizontalScrollBar());
    m_textView->setFixedHeight(std::clamp(height, minimumSummaryHeight, maximumSummaryHeight));
}

void ApprovalPopoverController::render(std::vector<ApprovalRequest> const& requests, std::optional<std::string> const& selectedID)
{
    buildViews();
    // The window outlives language changes, and is made before the stored language is read.
    relocalize();
    ApprovalRequest const* shown = PupnikCore::ApprovalPopover::pick(requests, selectedID);
    m_listBox->setVisible(requests.size() >= 2);
    rebuildList(requests, shown);
    if (!shown)
        return;

    m_toolLabel->setText(elided(m_toolLabel->font(), shown->tool, Qt::ElideRight, contentWidth));
    m_targetLabel->setText(elided(m_targetLabel->font(), PupnikCore::ApprovalTexts::targetLine(*shown), Qt::ElideMiddle, contentWidth));

    // The view owns the summaries it shows; it lets go of the old one before that is destroyed.
    // (The view's first document belongs to the view itself, which deletes it on replacement.)
    QTextDocument* const previous = m_textView->document();
    bool const ownsPrevious = previous && previous->parent() == m_textView;
    QTextDocument* const document = attributedSummary(shown->summary).release();
    document->setParent(m_textView);
    m_textView->setDocument(document);
    if (ownsPrevious)
        delete previous;
    m_textView->moveCursor(QTextCursor::Start);
    m_textView->horizontalScrollBar()->setValue(0);
    m_textView->verticalScrollBar()->setValue(0);
    fitSummaryHeight();

    if (auto note = PupnikCore::ApprovalTexts::truncationNote(*shown)) {
        m_truncationLabel->setText(text(*note));
        m_truncationLabel->show();
    } else {
        m_truncationLabel->hide();
    }

    layout()->activate();
    setFixedSize(popoverWidth, std::max(layout()->sizeHint().height(), minimumHeight));
    if (isVisible())
        place();
}

void ApprovalPopoverController::place()
{
    if (beforePlacing)
        beforePlacing();
    QScreen* screen = m_anchor ? m_anchor->screen() : QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QRect const available = screen ? screen->availableGeometry() : QRect(0, 0, popoverWidth, height());
    QRect const anchorRect = m_anchor ? QRect(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size()) : QRect(available.center(), QSize(1, 1));
    move(PopoverPlacement::topLeft(anchorRect, size(), available, anchorGap));
}

bool ApprovalPopoverController::isShown() const { return isVisible(); }

void ApprovalPopoverController::present()
{
    place();
    QFrame::show();
    raise();
    activateWindow();
}

void ApprovalPopoverController::focusDeny()
{
    if (isVisible() && m_denyButton)
        m_denyButton->setFocus(Qt::PopupFocusReason);
}

void ApprovalPopoverController::dismiss() { close(); }

void ApprovalPopoverController::keyPressEvent(QKeyEvent* event)
{
    auto const popover = m_popover.lock();
    int const key = event->key();
    if (popover && key == Qt::Key_Escape && popover->handleEscape()) {
        event->accept();
        return;
    }
    // No button answers Return: a key pressed while the popover appears must never allow a tool.
    if (popover && popover->isShown() && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

}
