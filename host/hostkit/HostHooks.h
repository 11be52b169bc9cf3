#pragma once
// What the host program (and tests standing in for it) set in libhostkit, beside the
// toolkit the module calls (hostapi/hostkit.h): the connection string, how messages are
// shown, and the observer of the transcribed calls. The module never includes this header.
// (The host directory is the platform's: platform/system/ProgramDirectory.h.)

#include "HostkitExport.h"
#include "hostapi/CallRecord.h"
#include "hostapi/hostkit.h"

#include <QList>
#include <QString>

#include <functional>

namespace hostkit {

// The connection string GetStringConexQvn returns ("" = back to the stored/default one).
HOSTKIT_EXPORT void setStringConexQvn(const QString& connectionString);
// Stores `connectionString`, encoded, in <hostDir>/Dados/StringConexao.txt (directories
// created). Throws platform::HostError when the file cannot be written.
HOSTKIT_EXPORT void saveStringConexQvn(const QString& hostDir, const QString& connectionString);
// The fixed key of that file's encoding.
constexpr int kChaveStringConexao = 7411;

// What Mensagem shows.
struct MessageRequest {
    QString texto, titulo, pergunta, registra;
    TTipoMsg tipo = tmAviso;
    QString detalhe, idEsquema;
    int codigo = 0;
    platform::DataPacket dados;  // rows of the dataset passed, if any
};
// Shows a message and returns the operator's answer (true: acknowledged / yes).
using MessagePresenter = std::function<bool(const MessageRequest&)>;
// Replaces the presenter; an empty function restores the default (a QMessageBox when a
// GUI application exists, else the text on stderr, acknowledged).
HOSTKIT_EXPORT void setMessagePresenter(MessagePresenter presenter);
// Scripted mode: every message is recorded and acknowledged at once (true).
HOSTKIT_EXPORT void setScriptedMessages(bool on);
HOSTKIT_EXPORT QList<MessageRequest> recordedMessages();
HOSTKIT_EXPORT void clearRecordedMessages();

// The transcribed calls: Mensagem, MensagemMetodo, MontaRodapeGeral, CriaCodBarra,
// PrxVendaDia, PrxNumeroNFCe, reported as the procedure variables report theirs, with
// lib "hostkit". Datasets appear as QVariant holding a platform::DataPacket (null for
// none); `result` is null for a procedure; `out` is empty (hostkit takes nothing by
// reference); `error` is the text when the call raised.
using hostapi::CallObserver;
using hostapi::CallRecord;
// Called after each transcribed call, on the calling thread. Empty: none.
HOSTKIT_EXPORT void setCallObserver(CallObserver observer);

}  // namespace hostkit
