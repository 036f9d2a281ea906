// SPDX-License-Identifier: GPL-3.0-or-later
#include "print/CupsQueue.h"

#include "job/TextCharacters.h"

#include <QStringList>

#include <cups/cups.h>

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace corvial {

namespace {

struct IppFree
{
    ipp_t *ipp;
    ~IppFree() { ippDelete(ipp); }
};

// A server that neither accepts nor refuses (a firewall dropping packets) must not hold the
// job for long; a reachable one answers a connection in milliseconds.
constexpr int kConnectMilliseconds = 5000;

QString unreachableText(const QString &why)
{
    QString text =
        QStringLiteral("印刷サーバー %1 に接続できません。").arg(visibleText(cupsServerName()));
    if (!why.isEmpty())
        text += QStringLiteral("（%1）").arg(why);
    return text;
}

// What a failed connection's errno means for someone at a label PC, then the system's words.
QString connectReason(int err)
{
    QString words;
    switch (err) {
    case ECONNREFUSED:
        words = QStringLiteral("接続を断られました。サーバーが動いていないか、そのポートで"
                               "待っていません");
        break;
    case ETIMEDOUT:
        words = QStringLiteral("時間内に応答がありません");
        break;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
    case ENETDOWN:
        words = QStringLiteral("サーバーまでの経路がありません");
        break;
    case ENOENT:
        words = QStringLiteral("ソケットのファイルがありません。CUPS が動いていません");
        break;
    case EACCES:
    case EPERM:
        words = QStringLiteral("接続が許されていません");
        break;
    default:
        break;
    }
    const QString system = qt_error_string(err);
    return words.isEmpty() ? system : QStringLiteral("%1: %2").arg(words, system);
}

// Connects to the print server once, as libcups would, and tells why that failed; empty when
// it took the connection. libcups closes its socket before it returns a failure, so the
// errno it leaves tells of that close ("Bad file descriptor"), not of the connection.
QString connectProblem()
{
    const char *server = cupsServer();
    const QByteArray host(server ? server : "");
    if (host.startsWith('/')) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(host.size()) >= sizeof address.sun_path)
            return connectReason(ENAMETOOLONG);
        memcpy(address.sun_path, host.constData(), size_t(host.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return connectReason(errno);
        const int result = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        const int err = result == 0 ? 0 : errno;
        ::close(fd);
        return err == 0 ? QString() : connectReason(err);
    }
    http_addrlist_t *addresses =
        httpAddrGetList(host.constData(), AF_UNSPEC, QByteArray::number(ippPort()).constData());
    if (!addresses)
        return QStringLiteral("サーバーの名前 %1 を引けません").arg(QString::fromUtf8(host));
    int err = ETIMEDOUT;
    for (http_addrlist_t *a = addresses; a; a = a->next) {
        const int fd =
            ::socket(a->addr.addr.sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            err = errno;
            continue;
        }
        int result = ::connect(fd, &a->addr.addr, socklen_t(httpAddrLength(&a->addr)));
        if (result != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            result = ::poll(&p, 1, kConnectMilliseconds);
            if (result == 1) {
                socklen_t size = sizeof err;
                result =
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) == 0 && err == 0 ? 0 : -1;
            } else {
                err = ETIMEDOUT;
                result = -1;
            }
        } else if (result != 0) {
            err = errno;
        }
        ::close(fd);
        if (result == 0) {
            httpAddrFreeList(addresses);
            return QString();
        }
    }
    httpAddrFreeList(addresses);
    return connectReason(err);
}

// A request CUPS could not send: the server named, with the connection's own reason when
// the connection is what failed.
QString requestFailure()
{
    const ipp_status_t status = ::cupsLastError();
    const QString cups = cupsErrorText();
    if (status != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE && status != IPP_STATUS_ERROR_INTERNAL)
        return cups;
    const QString problem = connectProblem();
    if (!problem.isEmpty())
        return unreachableText(problem);
    return status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE ? unreachableText(cups) : cups;
}

// The job-state, job-state-reasons and job-printer-state-message of a job into *s.
void readJobState(ipp_attribute_t *state, ipp_attribute_t *reasons, ipp_attribute_t *message,
                  JobStatus *s)
{
    switch (ippGetInteger(state, 0)) {
    case IPP_JSTATE_COMPLETED:
        s->phase = JobPhase::Completed;
        break;
    case IPP_JSTATE_ABORTED:
        s->phase = JobPhase::Aborted;
        break;
    case IPP_JSTATE_CANCELED:
        s->phase = JobPhase::Cancelled;
        break;
    case IPP_JSTATE_HELD:
        s->phase = JobPhase::Waiting;
        s->held = true;
        break;
    case IPP_JSTATE_PROCESSING:
        s->phase = JobPhase::Waiting;
        s->processing = true;
        break;
    default: // pending, or stopped with its printer
        s->phase = JobPhase::Waiting;
        break;
    }
    if (reasons) {
        QStringList words;
        for (int i = 0; i < ippGetCount(reasons); ++i)
            words << QString::fromUtf8(ippGetString(reasons, i, nullptr));
        words.removeAll(QStringLiteral("none"));
        s->reasons = words.join(QStringLiteral(", "));
    }
    if (message)
        s->message = QString::fromUtf8(ippGetString(message, 0, nullptr));
}

} // namespace

QString cupsServerName()
{
    const char *server = cupsServer();
    const QString host = QString::fromUtf8(server ? server : "");
    if (host.startsWith(QLatin1Char('/')))
        return host;
    return QStringLiteral("%1:%2").arg(host).arg(ippPort());
}

QString cupsServerProblem()
{
    const QString problem = connectProblem();
    return problem.isEmpty() ? QString() : unreachableText(problem);
}

QString cupsErrorText()
{
    const char *text = cupsLastErrorString();
    return text ? QString::fromUtf8(text) : QString();
}

QueueState cupsQueueState(const QString &printer)
{
    QueueState s;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", printer.toUtf8().constData());
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char *const wanted[] = {"printer-is-accepting-jobs", "printer-state",
                                         "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(sizeof wanted / sizeof *wanted), nullptr, wanted);
    // cupsDoRequest takes the request and frees it.
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    const IppFree freeResponse{response};
    if (!response || ::cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        // CUPS words a server it cannot reach as a service that is not available, which
        // reads like the printer's fault; it is the connection.
        s.reason = requestFailure();
        return s;
    }
    s.answered = true;
    if (ipp_attribute_t *a =
            ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        s.accepting = ippGetBoolean(a, 0) != 0;
    if (ipp_attribute_t *a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM))
        s.stopped = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
    if (ipp_attribute_t *a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT))
        s.reason = QString::fromUtf8(ippGetString(a, 0, nullptr));
    return s;
}

TitledJob cupsJobTitled(const QString &printer, const QString &title)
{
    TitledJob outcome;
    cups_job_t *jobs = nullptr;
    const int n =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, printer.toUtf8().constData(), 1, CUPS_WHICHJOBS_ALL);
    if (n < 0) {
        outcome.reason = cupsErrorText();
        return outcome;
    }
    const QByteArray wanted = title.toUtf8();
    for (int i = 0; i < n; ++i) {
        if (jobs[i].title && wanted == jobs[i].title && jobs[i].id > outcome.id)
            outcome.id = jobs[i].id;
    }
    cupsFreeJobs(n, jobs);
    return outcome;
}

JobStatus cupsJobStatus(int jobId)
{
    JobStatus s;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/jobs/%d", jobId);
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    // Without a user name CUPS answers as to a stranger and may keep a job's details back.
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    static const char *const wanted[] = {"job-state", "job-state-reasons",
                                         "job-printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(sizeof wanted / sizeof *wanted), nullptr, wanted);
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    const IppFree freeResponse{response};
    if (!response || ::cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        s.gone = ::cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
        s.error = requestFailure();
        return s;
    }
    ipp_attribute_t *state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
    if (!state) {
        s.error = QStringLiteral("CUPS がジョブの状態を返しませんでした。");
        return s;
    }
    readJobState(state, ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD),
                 ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT), &s);
    return s;
}

bool cupsJobStatuses(const QList<int> &jobIds, QHash<int, JobStatus> *out, QString *error)
{
    out->clear();
    // Every queue's jobs in one answer: a request per job made each print wait on as many
    // round trips as there were jobs left waiting.
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 "ipp://localhost/");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    // CUPS keeps hundreds of ended jobs; none older than the oldest asked about is needed.
    const auto oldest = std::min_element(jobIds.cbegin(), jobIds.cend());
    if (oldest != jobIds.cend() && *oldest > 1)
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "first-job-id", *oldest);
    static const char *const wanted[] = {"job-id", "job-state", "job-state-reasons",
                                         "job-printer-state-message", "job-printer-uri"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(sizeof wanted / sizeof *wanted), nullptr, wanted);
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    const IppFree freeResponse{response};
    if (!response || ::cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        *error = requestFailure();
        return false;
    }
    const QSet<int> asked(jobIds.cbegin(), jobIds.cend());
    ipp_attribute_t *a = ippFirstAttribute(response);
    while (a) {
        // One job's attributes follow each other in a job group; a separator ends it.
        while (a && ippGetGroupTag(a) != IPP_TAG_JOB)
            a = ippNextAttribute(response);
        int id = 0;
        ipp_attribute_t *state = nullptr;
        ipp_attribute_t *reasons = nullptr;
        ipp_attribute_t *message = nullptr;
        QString queue;
        for (; a && ippGetGroupTag(a) == IPP_TAG_JOB; a = ippNextAttribute(response)) {
            const char *name = ippGetName(a);
            if (!name)
                continue;
            const QByteArrayView n(name);
            if (n == "job-id" && ippGetValueTag(a) == IPP_TAG_INTEGER)
                id = ippGetInteger(a, 0);
            else if (n == "job-state" && ippGetValueTag(a) == IPP_TAG_ENUM)
                state = a;
            else if (n == "job-state-reasons")
                reasons = a;
            else if (n == "job-printer-state-message")
                message = a;
            else if (n == "job-printer-uri") {
                // ipp://host/printers/NAME or ipp://host/classes/NAME
                const QString uri = QString::fromUtf8(ippGetString(a, 0, nullptr));
                queue = uri.mid(uri.lastIndexOf(QLatin1Char('/')) + 1);
            }
        }
        if (id > 0 && state && asked.contains(id)) {
            JobStatus s;
            readJobState(state, reasons, message, &s);
            s.queue = queue;
            out->insert(id, s);
        }
    }
    return true;
}

} // namespace corvial
