#include "base/prompter.h"

#include <QDebug>

namespace {

// Until the program installs its dialogs, nothing can be asked: every question is declined and
// every message goes to standard error, so that nothing is replaced or removed unasked.
class DecliningPrompter final : public Prompter {
public:
    void information(QWidget *, const QString &text) override { qWarning().noquote() << text; }
    bool question(QWidget *, const QString &text) override
    {
        qWarning().noquote() << text << "(declined: no window to ask in)";
        return false;
    }
    void stop(QWidget *, const QString &caption, const QString &text) override
    {
        qWarning().noquote() << caption + QStringLiteral(": ") + text;
    }
    QString chooseDirectory(QWidget *, const QString &, const QString &) override { return {}; }
    QStringList chooseOpenFiles(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString chooseSaveFile(QWidget *, const QString &, const QString &, const QString &, QString *) override
    {
        return {};
    }
    int exec(QDialog &) override { return 0; }
    ReplaceAnswer askReplace(QWidget *, const QString &, bool) override { return ReplaceAnswer::Cancel; }
    bool openExternal(const QUrl &) override { return false; }
};

std::unique_ptr<Prompter> &current()
{
    static std::unique_ptr<Prompter> instance = std::make_unique<DecliningPrompter>();
    return instance;
}

} // namespace

Prompter &prompter()
{
    return *current();
}

std::unique_ptr<Prompter> setPrompter(std::unique_ptr<Prompter> prompter)
{
    std::unique_ptr<Prompter> previous = std::move(current());
    current() = std::move(prompter);
    return previous;
}

ReplaceQuestion::Decision ReplaceQuestion::decide(const QString &target)
{
    if (m_all)
        return *m_all ? Decision::Write : Decision::Skip;
    switch (prompter().askReplace(m_parent, target, m_batch)) {
    case ReplaceAnswer::Replace:
        return Decision::Write;
    case ReplaceAnswer::Skip:
        return Decision::Skip;
    case ReplaceAnswer::ReplaceAll:
        m_all = true;
        return Decision::Write;
    case ReplaceAnswer::SkipAll:
        m_all = false;
        return Decision::Skip;
    case ReplaceAnswer::Cancel:
        break;
    }
    return Decision::Stop;
}
