/* The floor of a retrieval through ODBC: the grid's select read through the
 * data source FAQ with nothing but the driver manager and the driver, the
 * way the driver delivers rows fastest, every row counted and nothing kept.
 *
 *   odbc_floor SELECT [wchar|char|binary] [ROWS]
 *
 * The texts (columns 2 and 4) are bound as UTF-16, as the client's narrow
 * characters or as binary data (the SQLite driver and psqlODBC's Unicode
 * driver then hand over the UTF-8 the database holds, unconverted); ROWS rows
 * a block (512), bound column-wise. Prints the rows read and the time from
 * the connect to the disconnect; fails unless every call succeeds. */

#include <sql.h>
#include <sqlext.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { textBytes = 1024 };

static double nowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static void require(SQLRETURN r, SQLSMALLINT type, SQLHANDLE handle, const char* what)
{
    if (SQL_SUCCEEDED(r))
        return;
    SQLCHAR state[6] = "", text[512] = "";
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
    fprintf(stderr, "odbc_floor: %s failed: %s %s\n", what, state, text);
    exit(1);
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: odbc_floor SELECT [wchar|char|binary] [ROWS]\n");
        return 2;
    }
    const char* mode = argc > 2 ? argv[2] : "binary";
    const SQLSMALLINT textType =
        strcmp(mode, "wchar") == 0 ? SQL_C_WCHAR : strcmp(mode, "char") == 0 ? SQL_C_CHAR : SQL_C_BINARY;
    const SQLULEN block = argc > 3 ? (SQLULEN)atol(argv[3]) : 512;

    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT stmt;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const double start = nowMs();
    require(SQLDriverConnect(dbc, NULL, (SQLCHAR*)"DSN=FAQ;UID=mirt;PWD=qelp", SQL_NTS, NULL, 0, NULL,
                             SQL_DRIVER_NOPROMPT),
            SQL_HANDLE_DBC, dbc, "connect");
    require(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_HANDLE_DBC, dbc, "statement");

    SQLBIGINT* rbr = malloc(block * sizeof *rbr);
    SQL_TIMESTAMP_STRUCT* datum = malloc(block * sizeof *datum);
    char* adresa = malloc(block * textBytes);
    char* lot = malloc(block * textBytes);
    SQLLEN* indicators = malloc(4 * block * sizeof *indicators);
    SQLULEN fetched = 0;
    require(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)block, 0), SQL_HANDLE_STMT, stmt, "block");
    require(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_HANDLE_STMT, stmt, "fetched");
    require(SQLExecDirect(stmt, (SQLCHAR*)argv[1], SQL_NTS), SQL_HANDLE_STMT, stmt, "select");
    require(SQLBindCol(stmt, 1, SQL_C_SBIGINT, rbr, sizeof *rbr, indicators), SQL_HANDLE_STMT, stmt, "bind 1");
    require(SQLBindCol(stmt, 2, textType, adresa, textBytes, indicators + block), SQL_HANDLE_STMT, stmt, "bind 2");
    require(SQLBindCol(stmt, 3, SQL_C_TYPE_TIMESTAMP, datum, sizeof *datum, indicators + 2 * block), SQL_HANDLE_STMT,
            stmt, "bind 3");
    require(SQLBindCol(stmt, 4, textType, lot, textBytes, indicators + 3 * block), SQL_HANDLE_STMT, stmt, "bind 4");
    long rows = 0;
    SQLRETURN r;
    while ((r = SQLFetch(stmt)) != SQL_NO_DATA) {
        require(r, SQL_HANDLE_STMT, stmt, "fetch");
        rows += (long)fetched;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
    SQLDisconnect(dbc);
    const double end = nowMs();
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    printf("rows %ld\ninside_ms %.3f\n", rows, end - start);
    return 0;
}
