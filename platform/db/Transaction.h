#pragma once
// Transaction: one transaction on a Connection, begun by the constructor and rolled back
// by the destructor unless commit() was called, so that an error of any kind (a rejected
// insert, a lost connection, an exception that is not a database error) leaves no partial
// write behind and the connection free for the next transaction.
//
//   platform::db::Transaction t(db, /*writeLock=*/true);
//   ... statements ...
//   t.commit();
//
// Throws DatabaseError from the constructor when the transaction cannot begin (nothing to
// undo then) and from commit() when it cannot commit (the destructor then rolls back).

#include "platform/db/Connection.h"

namespace platform::db {

class Transaction {
public:
    explicit Transaction(Connection& db, bool writeLock = false) : db_(db) { db_.beginTransaction(writeLock); }
    ~Transaction()
    {
        if (!done_)
            db_.rollback();  // never throws
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit()
    {
        db_.commit();
        done_ = true;
    }
    // Ends the transaction without its writes before the end of the scope.
    void rollback()
    {
        done_ = true;
        db_.rollback();
    }

private:
    Connection& db_;
    bool done_ = false;
};

}  // namespace platform::db
