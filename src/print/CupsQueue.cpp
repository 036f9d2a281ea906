// SPDX-License-Identifier: GPL-3.0-or-later
#include "print/CupsQueue.h"

#include "job/TextCharacters.h"

#include <QStringList>

#include <cups/cups.h>

#include <cerrno>
#include <sys/socket.h>

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
    errno = 0;
    http_t *http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                kConnectMilliseconds, nullptr);
    if (http) {
        httpClose(http);
        return QString();
    }
    const int err = errno;
    return unreachableText(err != 0 ? qt_error_string(err) : cupsErrorText());
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
        s.reason = ::cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE
                       ? unreachableText(cupsErrorText())
                       : cupsErrorText();
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
        s.error = ::cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE
                      ? unreachableText(cupsErrorText())
                      : cupsErrorText();
        s.gone = ::cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
        return s;
    }
    ipp_attribute_t *state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
    if (!state) {
        s.error = QStringLiteral("CUPS がジョブの状態を返しませんでした。");
        return s;
    }
    switch (ippGetInteger(state, 0)) {
    case IPP_JSTATE_COMPLETED:
        s.phase = JobPhase::Completed;
        break;
    case IPP_JSTATE_ABORTED:
        s.phase = JobPhase::Aborted;
        break;
    case IPP_JSTATE_CANCELED:
        s.phase = JobPhase::Cancelled;
        break;
    case IPP_JSTATE_HELD:
        s.phase = JobPhase::Waiting;
        s.held = true;
        break;
    case IPP_JSTATE_PROCESSING:
        s.phase = JobPhase::Waiting;
        s.processing = true;
        break;
    default: // pending, or stopped with its printer
        s.phase = JobPhase::Waiting;
        break;
    }
    if (ipp_attribute_t *a = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD)) {
        QStringList words;
        for (int i = 0; i < ippGetCount(a); ++i)
            words << QString::fromUtf8(ippGetString(a, i, nullptr));
        words.removeAll(QStringLiteral("none"));
        s.reasons = words.join(QStringLiteral(", "));
    }
    if (ipp_attribute_t *a = ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT))
        s.message = QString::fromUtf8(ippGetString(a, 0, nullptr));
    return s;
}

} // namespace corvial
