// The equation language of complex parameters: exactly one operation on operands
// that are whole parameter names or complete numbers. The parser reads the equation
// in full or throws a TException saying what it could not read.
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "estimation/paramText.h"
#include "estimation/parameters.h"
#include "support/TException.h"

using paramtext::format;

namespace {

enum class Tok {
  OPERAND, PLUS, MINUS, STAR, SLASH, LPAREN, RPAREN, MIN, MAX, QUESTION, COLON,
  LESS, GREATER, NOTEQUAL, LESSEQ, GREATEREQ, FUNC
};

struct Token {
  Tok kind;
  std::string text;
  int paramId = -1;     // OPERAND: the parameter, or -1 for a number
  double number = 0;    // OPERAND: the number
  EquationOp func = EquationOp::NONE;  // FUNC
};

struct FunctionName { char const* name; EquationOp op; };
FunctionName const functions[] = {{"log10", EquationOp::LOG10}, {"log", EquationOp::LOG},
                                  {"pow10", EquationOp::POW10}, {"exp", EquationOp::EXP},
                                  {"abs", EquationOp::ABS}};

class Lexer {
 public:
  Lexer(std::string const& text, MY_TArrayAsVector<TParameter> const& params,
        std::string const& context)
      : text_(text), params_(params), context_(context) {}

  std::vector<Token> run() {
    std::vector<Token> tokens;
    while (pos_ < text_.size()) {
      Token t = next();
      if (t.kind == Tok::OPERAND && t.paramId < 0 && negates(tokens)) {
        // A minus before a number where no left operand stands makes a negative number.
        t.text = "-" + t.text;
        t.number = -t.number;
        tokens.back() = t;
      } else {
        tokens.push_back(t);
      }
    }
    return tokens;
  }

 private:
  [[noreturn]] void fail(std::string const& what) const { paramtext::raise(context_ + what); }

  // The last token is a minus that follows an operator (or starts the equation).
  static bool negates(std::vector<Token> const& tokens) {
    size_t n = tokens.size();
    if (n == 0 || tokens[n - 1].kind != Tok::MINUS) return false;
    if (n == 1) return false;  // a leading minus is the operation 0 - x
    Tok before = tokens[n - 2].kind;
    return before != Tok::OPERAND && before != Tok::RPAREN;
  }

  Token symbol(Tok kind, size_t len) {
    Token t{kind, text_.substr(pos_, len)};
    pos_ += len;
    return t;
  }

  Token next() {
    char c = text_[pos_];
    std::string rest = text_.substr(pos_);
    switch (c) {
      case '+': return symbol(Tok::PLUS, 1);
      case '-': return symbol(Tok::MINUS, 1);
      case '*': return symbol(Tok::STAR, 1);
      case '/': return symbol(Tok::SLASH, 1);
      case '(': return symbol(Tok::LPAREN, 1);
      case ')': return symbol(Tok::RPAREN, 1);
      case '?': return symbol(Tok::QUESTION, 1);
      case ':': return symbol(Tok::COLON, 1);
      case '<': return rest.compare(0, 2, "<=") == 0 ? symbol(Tok::LESSEQ, 2) : symbol(Tok::LESS, 1);
      case '>': return rest.compare(0, 2, ">=") == 0 ? symbol(Tok::GREATEREQ, 2) : symbol(Tok::GREATER, 1);
      case '!':
        if (rest.compare(0, 2, "!=") == 0) return symbol(Tok::NOTEQUAL, 2);
        fail("'!' is not followed by '='");
      case '%':
        if (rest.compare(0, 5, "%min%") == 0) return symbol(Tok::MIN, 5);
        if (rest.compare(0, 5, "%max%") == 0) return symbol(Tok::MAX, 5);
        fail("unknown operator at \"" + rest + "\" (use %min% or %max%)");
      case '=': fail("unexpected '=' (a condition compares with <, > or !=)");
      default: return operand();
    }
  }

  Token operand() {
    size_t end = pos_;
    while (end < text_.size() && !paramtext::isOperatorChar(text_[end])) ++end;
    std::string word = text_.substr(pos_, end - pos_);
    if (end < text_.size() && text_[end] == '(')
      for (FunctionName const& f : functions)
        if (word == f.name) {
          Token t = symbol(Tok::FUNC, word.size());
          t.func = f.op;
          return t;
        }
    Token t{Tok::OPERAND, word};
    t.paramId = getParamId(my_string(word.c_str()), params_);
    if (t.paramId >= 0) {
      pos_ = end;
      return t;
    }
    // A number may run past the word through the sign of its exponent (1e+5).
    size_t len = paramtext::numberLength(text_, pos_);
    if (len == 0 || len < word.size()) fail("unknown parameter \"" + word + "\"");
    t.text = text_.substr(pos_, len);
    t.number = std::strtod(t.text.c_str(), nullptr);
    if (!std::isfinite(t.number)) fail("the number " + t.text + " is out of range");
    pos_ += len;
    return t;
  }

  std::string const& text_;
  MY_TArrayAsVector<TParameter> const& params_;
  std::string context_;
  size_t pos_ = 0;
};

EquationOp binaryOp(Tok kind) {
  switch (kind) {
    case Tok::PLUS: return EquationOp::ADD;
    case Tok::MINUS: return EquationOp::SUBTRACT;
    case Tok::STAR: return EquationOp::MULTIPLY;
    case Tok::SLASH: return EquationOp::DIVIDE;
    case Tok::MIN: return EquationOp::MIN;
    case Tok::MAX: return EquationOp::MAX;
    default: return EquationOp::NONE;
  }
}

bool isComparison(Tok kind) {
  return kind == Tok::LESS || kind == Tok::GREATER || kind == Tok::NOTEQUAL;
}

// Reads the token list into the operand members of the parameter.
class Parser {
 public:
  Parser(std::vector<Token> const& tokens, TParameter& p, std::string const& context)
      : toks_(tokens), p_(p), context_(context) {}

  void run() {
    Token const& first = toks_[0];
    if (first.kind == Tok::MINUS) {
      ++pos_;
      p_.operation = EquationOp::SUBTRACT;
      store(operandAfter("'-'"), p_.rightParamId, p_.rightValue);
    } else if (first.kind == Tok::FUNC) {
      ++pos_;
      p_.operation = first.func;
      expect(Tok::LPAREN, "missing '(' after " + first.text);
      store(operandAfter("'('"), p_.rightParamId, p_.rightValue);
      expect(Tok::RPAREN, "missing ')' after the argument of " + first.text);
    } else if (first.kind == Tok::OPERAND) {
      afterLeftOperand();
    } else if (first.kind == Tok::LPAREN) {
      fail("'(' must follow a function name (log10, log, pow10, exp or abs); equations hold no "
           "nested terms");
    } else {
      fail("the operator '" + first.text + "' has no left operand");
    }
    if (pos_ < toks_.size())
      fail("unexpected \"" + toks_[pos_].text + "\" after a complete operation (an equation holds "
           "exactly one operation)");
  }

 private:
  [[noreturn]] void fail(std::string const& what) const { paramtext::raise(context_ + what); }

  void afterLeftOperand() {
    Token const& left = toks_[pos_++];
    if (pos_ == toks_.size()) return;  // a lone operand: no operation
    Token const& op = toks_[pos_++];
    if (binaryOp(op.kind) != EquationOp::NONE) {
      p_.operation = binaryOp(op.kind);
      store(left, p_.leftParamId, p_.leftValue);
      store(operandAfter("the operator '" + op.text + "'"), p_.rightParamId, p_.rightValue);
    } else if (isComparison(op.kind)) {
      conditional(left, op);
    } else if (op.kind == Tok::LESSEQ || op.kind == Tok::GREATEREQ) {
      fail("the comparison \"" + op.text + "\" is not supported in conditions (use < , > or !=)");
    } else if (op.kind == Tok::OPERAND) {
      fail("\"" + left.text + "\" and \"" + op.text + "\" are not joined by an operator");
    } else {
      fail("unexpected \"" + op.text + "\" after \"" + left.text + "\"");
    }
  }

  void conditional(Token const& left, Token const& cmp) {
    p_.operation = EquationOp::CONDITIONAL;
    p_.isLessCondition = cmp.kind == Tok::LESS;
    p_.isNotEqualCondition = cmp.kind == Tok::NOTEQUAL;
    store(left, p_.leftParamId, p_.leftValue);
    store(operandAfter("the comparison '" + cmp.text + "'"), p_.rightParamId, p_.rightValue);
    expect(Tok::QUESTION, "missing '?' after the condition");
    store(operandAfter("'?'"), p_.trueParamId, p_.trueValue);
    expect(Tok::COLON, "missing ':' after the value if the condition is true");
    store(operandAfter("':'"), p_.falseParamId, p_.falseValue);
  }

  Token const& operandAfter(std::string const& what) {
    if (pos_ >= toks_.size() || toks_[pos_].kind != Tok::OPERAND)
      fail(what + " has no operand after it");
    return toks_[pos_++];
  }

  void expect(Tok kind, std::string const& message) {
    if (pos_ >= toks_.size() || toks_[pos_].kind != kind) fail(message);
    ++pos_;
  }

  static void store(Token const& t, int& id, double& value) {
    id = t.paramId;
    value = t.paramId >= 0 ? 0 : t.number;
  }

  std::vector<Token> const& toks_;
  TParameter& p_;
  std::string context_;
  size_t pos_ = 0;
};

double operandValue(int id, double number, MY_TArrayAsVector<TParameter> const& params) {
  return id >= 0 ? params[id].value : number;
}

}  // namespace

int TParameter::dissectEquation(MY_TArrayAsVector<TParameter> const& params) {
  hasKnownParam = false;
  if (equation.is_null()) {
    std::cerr << "Equation for parameter " << name << " is empty " << std::endl;
    paramtext::raise(format("Equation for parameter %s is empty ", name.c_str()));
  }
  if (!isComplex) {
    std::cerr << "Equation cannot be computed for the simple parameter " << name << std::endl;
    paramtext::raise(format("Equation cannot be computed for the simple parameter %s", name.c_str()));
  }
  lowerName = paramtext::toLower(name.c_str()).c_str();
  leftParamId = rightParamId = trueParamId = falseParamId = -1;
  leftValue = rightValue = trueValue = falseValue = 0;
  isLessCondition = isNotEqualCondition = false;
  operation = EquationOp::NONE;
  std::string text = paramtext::removeBlanks(equation.c_str());
  std::string context = "Equation " + text + " of parameter " + std::string(name.c_str()) + ": ";
  std::vector<Token> tokens = Lexer(text, params, context).run();
  Parser(tokens, *this, context).run();
  hasKnownParam = leftParamId >= 0 || rightParamId >= 0;
  isDissected = true;
  return 1;
}

double TParameter::evaluate(MY_TArrayAsVector<TParameter> const& params) const {
  double l = operandValue(leftParamId, leftValue, params);
  double r = operandValue(rightParamId, rightValue, params);
  switch (operation) {
    case EquationOp::ADD: return l + r;
    case EquationOp::MULTIPLY: return l * r;
    case EquationOp::DIVIDE: return l / r;
    case EquationOp::SUBTRACT: return l - r;
    case EquationOp::LOG10: return std::log10(r);
    case EquationOp::LOG: return std::log(r);
    case EquationOp::POW10: return std::pow(10.0, r);
    case EquationOp::EXP: return std::exp(r);
    case EquationOp::ABS: return std::fabs(r);
    case EquationOp::MIN: return l < r ? l : r;
    case EquationOp::MAX: return l > r ? l : r;
    case EquationOp::CONDITIONAL: {
      bool holds = isLessCondition ? l < r : isNotEqualCondition ? (l < r || l > r) : l > r;
      return holds ? operandValue(trueParamId, trueValue, params)
                   : operandValue(falseParamId, falseValue, params);
    }
    case EquationOp::NONE: break;
  }
  return value;
}

// The messages of an equation that cannot be evaluated; false leaves the value alone.
bool TParameter::checkEquationUsable() const {
  if (equation.is_null()) {
    std::cerr << "Equation for parameter " << name << " is empty " << std::endl;
    return false;
  }
  if (!isComplex) {
    std::cerr << "Equation cannot be computed for the simple parameter " << name << std::endl;
    return false;
  }
  return true;
}

double TParameter::calcEquation(MY_TArrayAsVector<TParameter> const& params) {
  if (!checkEquationUsable()) return 0;
  if (!isDissected) dissectEquation(params);
  lowerName = paramtext::toLower(name.c_str()).c_str();
  value = evaluate(params);
  if (isInt) value = std::trunc(value);
  return value;
}

void TSampleParameters::computeComplexParameters() {
  for (int i = numSimpleParams; i < paramArray.numElems; ++i) paramArray[i].calcEquation(paramArray);
}
