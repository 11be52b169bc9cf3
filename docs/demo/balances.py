#!/usr/bin/env python3
"""Prints, from a pdvhost transcript, the balances and the selected gifts after each
script line, and the messages the screen showed on the way; then whether a redemption
was concluded (the sale close-out answered a sale number and no error reached the
screen). Exits 1 when none was."""
import json
import sys


def rows(dataset):
    if not dataset:
        return []
    names = [f["name"] for f in dataset["fields"]]
    return [dict(zip(names, r)) for r in dataset["rows"]]


def number(value):
    return "-" if value is None else f"{value:g}"


def main(path):
    sales, errors = [], 0
    with open(path, encoding="utf-8") as transcript:
        for line in transcript:
            entry = json.loads(line)
            if entry.get("op") == "SetConcluiFechamento" and entry.get("result"):
                sales.append(entry["result"])
            if entry.get("op") == "Mensagem":
                print(f"    mensagem: {entry['args'][0]}")
            elif entry.get("event") == "error":
                errors += 1
                print(f"    erro: {entry['text']}")
            elif "step" in entry:
                state = entry["state"]
                print(f"{entry['step']}")
                print(f"    consumidor: {state.get('consumer') or '(nenhum)'}")
                for c in rows(state.get("cdsCampanha")):
                    print(f"    {c['DSCAMPANHA']:<28} saldo {number(c['VRSALDOCONS']):>8}"
                          f"  restante {number(c['VRRESTANTE']):>8}  voucher {number(c['VRPTOVOUCHER']):>8}")
                for b in rows(state.get("cdsBrinde")):
                    print(f"    brinde: {b['NMPRODUTO']} ({number(b['VRPONTOBRINDE'])} pontos)")


    if sales and not errors:
        print(f"Resgate concluído: venda {', '.join(sales)}")
        return 0
    print("O resgate não foi concluído", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
